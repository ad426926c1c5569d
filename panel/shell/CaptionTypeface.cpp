#include "CaptionTypeface.h"

#include <fontconfig/fontconfig.h>

#include <memory>

namespace panel {

namespace {

// Debian packages: fonts-wqy-microhei, fonts-noto-cjk.
constexpr const char* kCandidates[] = {"WenQuanYi Micro Hei", "Noto Sans CJK SC"};

struct PatternDeleter {
  void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
struct ObjectSetDeleter {
  void operator()(FcObjectSet* objects) const { FcObjectSetDestroy(objects); }
};
struct FontSetDeleter {
  void operator()(FcFontSet* fonts) const { FcFontSetDestroy(fonts); }
};

// JUCE loads a font file's first face only.
juce::File fileWithFirstFace(const char* family) {
  std::unique_ptr<FcPattern, PatternDeleter> pattern(FcPatternCreate());
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  std::unique_ptr<FcObjectSet, ObjectSetDeleter> objects(
      FcObjectSetBuild(FC_FILE, FC_INDEX, static_cast<char*>(nullptr)));
  std::unique_ptr<FcFontSet, FontSetDeleter> fonts(
      FcFontList(nullptr, pattern.get(), objects.get()));
  if (!fonts) return {};
  for (int i = 0; i < fonts->nfont; ++i) {
    FcChar8* file = nullptr;
    int index = -1;
    if (FcPatternGetString(fonts->fonts[i], FC_FILE, 0, &file) == FcResultMatch &&
        FcPatternGetInteger(fonts->fonts[i], FC_INDEX, 0, &index) == FcResultMatch && index == 0) {
      return juce::File(juce::String::fromUTF8(reinterpret_cast<const char*>(file)));
    }
  }
  return {};
}

}  // namespace

juce::File findCaptionFontFile() {
  for (const char* family : kCandidates) {
    const juce::File file = fileWithFirstFace(family);
    if (file.existsAsFile()) return file;
  }
  return {};
}

juce::Typeface::Ptr loadCaptionTypeface() {
  juce::MemoryBlock data;
  if (!findCaptionFontFile().loadFileAsData(data)) return nullptr;
  return juce::Typeface::createSystemTypefaceFor(data.getData(), data.getSize());
}

}  // namespace panel
