#include "Screen.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace panel::testing {

bool hasScreen() {
  // JUCE lists no displays when it could not open the X display.
  return juce::Desktop::getInstance().getDisplays().getPrimaryDisplay() != nullptr;
}

}  // namespace panel::testing
