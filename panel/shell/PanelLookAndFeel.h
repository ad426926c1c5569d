// The panel's look: JUCE's, with every caption in the caption typeface.
// Made on the message thread and made the default before the first window;
// it must outlive every component drawn with it.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace panel {

class PanelLookAndFeel : public juce::LookAndFeel_V4 {
 public:
  PanelLookAndFeel();
  ~PanelLookAndFeel() override;

  // Fonts that name no typeface of their own, in any style, get the caption
  // typeface; without one installed, JUCE's own choice stands.
  juce::Typeface::Ptr getTypefaceForFont(const juce::Font& font) override;

  bool hasCaptionTypeface() const { return captionTypeface != nullptr; }

 private:
  const juce::Typeface::Ptr captionTypeface;

  JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(PanelLookAndFeel)
};

}  // namespace panel
