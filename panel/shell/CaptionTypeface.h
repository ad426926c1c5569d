// The typeface the panel draws its captions in: an installed font with both
// the Chinese and the Latin glyphs, since JUCE on Linux draws a string in one
// typeface with no fallback. JUCE lists only .ttf, .otf, .pfb and .pcf files,
// and Debian's Chinese fonts come as .ttc collections, so the font is found
// through fontconfig and loaded from its file.
#pragma once

#include <juce_graphics/juce_graphics.h>

namespace panel {

// The file of the first installed candidate (WenQuanYi Micro Hei, then Noto
// Sans CJK SC) whose first face is that family; a missing file when none is.
juce::File findCaptionFontFile();
// Null when there is no such font.
juce::Typeface::Ptr loadCaptionTypeface();

}  // namespace panel
