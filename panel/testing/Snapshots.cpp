#include "Snapshots.h"

namespace panel::testing {

juce::File snapshotFolder() {
  const auto configured = juce::SystemStats::getEnvironmentVariable("KORVANE_SNAPSHOT_DIR", {});
  if (configured.isNotEmpty()) return juce::File(configured);
  return juce::File::getSpecialLocation(juce::File::tempDirectory)
      .getChildFile("sonmira-snapshots");
}

juce::File saveSnapshot(juce::Component& component, const juce::String& name) {
  const juce::Image picture = component.createComponentSnapshot(component.getLocalBounds());
  const juce::File file = snapshotFolder().getChildFile(name + ".png");
  if (!file.getParentDirectory().createDirectory() || !file.deleteFile()) return {};
  juce::FileOutputStream out(file);
  juce::PNGImageFormat png;
  if (!out.openedOk() || !png.writeImageToStream(picture, out)) return {};
  return file;
}

}  // namespace panel::testing
