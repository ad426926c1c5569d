// Pictures of components as the tests see them, kept as PNG files for a person
// to look at: in $KORVANE_SNAPSHOT_DIR, else in sonmira-snapshots in the
// system's temporary folder. A later run overwrites a picture of the same name.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace panel::testing {

juce::File snapshotFolder();
// The file written, or a file that does not exist when it could not be.
juce::File saveSnapshot(juce::Component& component, const juce::String& name);

}  // namespace panel::testing
