#include <gtest/gtest.h>

#include "CaptionTypeface.h"
#include "Captions.h"
#include "PanelLookAndFeel.h"

namespace {

TEST(PanelLookAndFeel, FindsAnInstalledCaptionTypeface) {
  EXPECT_TRUE(panel::findCaptionFontFile().existsAsFile());
  EXPECT_TRUE(panel::PanelLookAndFeel().hasCaptionTypeface());
}

// Every character of every caption has a glyph of its own, in the plain font
// of labels and the bold one of title bars.
TEST(PanelLookAndFeel, DrawsEveryCharacterOfEveryCaption) {
  panel::PanelLookAndFeel lookAndFeel;
  for (const juce::Font& font : {juce::Font(15.0f), juce::Font(15.0f, juce::Font::bold)}) {
    const juce::Typeface::Ptr typeface = lookAndFeel.getTypefaceForFont(font);
    ASSERT_NE(typeface, nullptr);

    // What the typeface draws for a character it lacks.
    juce::Path missing;
    typeface->getOutlineForGlyph(0x10FFFD, missing);

    for (const auto& row : panel::captionRows) {
      for (const char* caption : {row.simplified, row.traditional, row.english}) {
        const juce::String text = juce::String::fromUTF8(caption);
        for (auto character = text.getCharPointer(); !character.isEmpty();) {
          const juce::juce_wchar c = character.getAndAdvance();
          if (juce::CharacterFunctions::isWhitespace(c)) continue;
          juce::Path outline;
          typeface->getOutlineForGlyph(static_cast<int>(c), outline);
          EXPECT_FALSE(outline.isEmpty() || outline == missing)
              << row.key << ": " << juce::String::charToString(c);
        }
      }
    }
  }
}

TEST(PanelLookAndFeel, LeavesFontsThatNameTheirTypefaceAlone) {
  panel::PanelLookAndFeel lookAndFeel;
  const juce::Font monospaced(juce::Font::getDefaultMonospacedFontName(), 15.0f, juce::Font::plain);
  EXPECT_NE(lookAndFeel.getTypefaceForFont(monospaced),
            lookAndFeel.getTypefaceForFont(juce::Font(15.0f)));
}

}  // namespace
