// The panel's main window. It draws its own title bar, so that the caption
// shows in the panel's typeface on every system.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace panel {

class MainWindow : public juce::DocumentWindow {
 public:
  explicit MainWindow(const juce::String& title);
  ~MainWindow() override;

  // Asks the application to quit, when there is one.
  void closeButtonPressed() override;

 private:
  JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(MainWindow)
};

}  // namespace panel
