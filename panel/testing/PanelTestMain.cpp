// The panel's tests run on the message thread, with JUCE set up as in the
// program, so that a test can pump messages and open windows.
#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // JUCE sets up X for threads and ignores X protocol errors only in a
  // program it knows as a standalone application; without that, the first
  // harmless error (an atom that only a window manager would have made, as
  // under Xvfb) ends the process. No application is ever made from this.
  juce::JUCEApplicationBase::createInstance = []() -> juce::JUCEApplicationBase* {
    return nullptr;
  };
  const juce::ScopedJuceInitialiser_GUI juce;
  return RUN_ALL_TESTS();
}
