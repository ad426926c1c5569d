// Running JUCE's message loop from a test on the message thread, so that
// windows appear, paint and answer while the test waits.
#pragma once

#include <functional>

namespace panel::testing {

void runMessageLoopFor(int milliseconds);
// True once the condition holds, false if the time ran out first. The
// condition is checked between message batches.
bool runMessageLoopUntil(const std::function<bool()>& condition, int timeoutMilliseconds = 5000);

}  // namespace panel::testing
