#include "PanelLookAndFeel.h"

#include "CaptionTypeface.h"

namespace panel {

PanelLookAndFeel::PanelLookAndFeel() : captionTypeface(loadCaptionTypeface()) {}

PanelLookAndFeel::~PanelLookAndFeel() = default;

juce::Typeface::Ptr PanelLookAndFeel::getTypefaceForFont(const juce::Font& font) {
  if (captionTypeface && font.getTypefaceName() == juce::Font::getDefaultSansSerifFontName()) {
    return captionTypeface;
  }
  return juce::LookAndFeel_V4::getTypefaceForFont(font);
}

}  // namespace panel
