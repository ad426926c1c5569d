// Whether this test can put windows on a screen: JUCE on Linux needs an X
// display (scripts/test starts Xvfb when there is none).
#pragma once

namespace panel::testing {

bool hasScreen();

}  // namespace panel::testing
