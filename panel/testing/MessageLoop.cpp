#include "MessageLoop.h"

#include <juce_events/juce_events.h>

namespace panel::testing {

namespace {

constexpr int kSliceMilliseconds = 10;

}  // namespace

void runMessageLoopFor(int milliseconds) {
  juce::MessageManager::getInstance()->runDispatchLoopUntil(milliseconds);
}

bool runMessageLoopUntil(const std::function<bool()>& condition, int timeoutMilliseconds) {
  const auto deadline = juce::Time::getMillisecondCounter() + juce::uint32(timeoutMilliseconds);
  while (!condition()) {
    if (juce::Time::getMillisecondCounter() >= deadline) return false;
    runMessageLoopFor(kSliceMilliseconds);
  }
  return true;
}

}  // namespace panel::testing
