#include "MainWindow.h"

namespace panel {

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 420;

}  // namespace

MainWindow::MainWindow(const juce::String& title)
    : juce::DocumentWindow(
          title,
          juce::LookAndFeel::getDefaultLookAndFeel().findColour(
              juce::ResizableWindow::backgroundColourId),
          juce::DocumentWindow::minimiseButton | juce::DocumentWindow::closeButton) {
  setUsingNativeTitleBar(false);
  setResizable(false, false);
  centreWithSize(kWidth, kHeight);
}

MainWindow::~MainWindow() = default;

void MainWindow::closeButtonPressed() {
  if (auto* application = juce::JUCEApplicationBase::getInstance()) {
    application->systemRequestedQuit();
  }
}

}  // namespace panel
