// sonmira: the card's control panel.
#include <JuceHeader.h>

#include <memory>

#include "MainWindow.h"
#include "PanelLookAndFeel.h"
#include "TextTable.h"

namespace panel {

class SonmiraApplication : public juce::JUCEApplication {
 public:
  SonmiraApplication() = default;

  const juce::String getApplicationName() override { return JUCE_APPLICATION_NAME_STRING; }
  const juce::String getApplicationVersion() override { return JUCE_APPLICATION_VERSION_STRING; }
  // JUCE's hand-over to a running instance does not work on Linux; the panel
  // keeps to one instance by its own means.
  bool moreThanOneInstanceAllowed() override { return true; }

  void initialise(const juce::String&) override {
    juce::LookAndFeel::setDefaultLookAndFeel(&lookAndFeel);
    mainWindow = std::make_unique<MainWindow>(
        TextTable::getInstance()->getText("lanmoqid330kongzhimianban"));
    mainWindow->setVisible(true);
  }

  void shutdown() override {
    mainWindow = nullptr;
    juce::LookAndFeel::setDefaultLookAndFeel(nullptr);
  }

  void systemRequestedQuit() override { quit(); }

 private:
  PanelLookAndFeel lookAndFeel;
  std::unique_ptr<MainWindow> mainWindow;
};

}  // namespace panel

START_JUCE_APPLICATION(panel::SonmiraApplication)
