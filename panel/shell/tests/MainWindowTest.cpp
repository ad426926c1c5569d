#include <gtest/gtest.h>

#include <ostream>
#include <set>

#include "MainWindow.h"
#include "MessageLoop.h"
#include "PanelLookAndFeel.h"
#include "Screen.h"
#include "Snapshots.h"
#include "TextTable.h"

namespace {

using namespace panel::testing;

struct WindowCase {
  LANGID system;
  const char* name;
};

void PrintTo(const WindowCase& window, std::ostream* out) {
  *out << window.name;
}

class MainWindowOnScreen : public ::testing::TestWithParam<WindowCase> {
 protected:
  // As the program does at start-up.
  void SetUp() override { juce::LookAndFeel::setDefaultLookAndFeel(&lookAndFeel); }
  void TearDown() override { juce::LookAndFeel::setDefaultLookAndFeel(nullptr); }

  panel::PanelLookAndFeel lookAndFeel;
};

// The program's start-up on a real X display, with a picture to look at.
TEST_P(MainWindowOnScreen, OpensWithTheCaptionInItsTitleBar) {
  ASSERT_TRUE(hasScreen()) << "no X display (scripts/test starts Xvfb when there is none)";
  const panel::TextTable table([this] { return GetParam().system; });
  const juce::String title = table.getText("lanmoqid330kongzhimianban");

  panel::MainWindow window(title);
  window.setVisible(true);
  ASSERT_TRUE(runMessageLoopUntil([&] { return window.isShowing() && window.getPeer(); }));
  runMessageLoopFor(200);
  EXPECT_EQ(window.getName(), title);
  EXPECT_TRUE(window.isOnDesktop());

  const juce::File picture = saveSnapshot(window, juce::String("main-window-") + GetParam().name);
  ASSERT_TRUE(picture.existsAsFile());
  EXPECT_GT(picture.getSize(), 0);
  const juce::Image image = juce::ImageFileFormat::loadFrom(picture);
  ASSERT_TRUE(image.isValid());
  EXPECT_EQ(image.getBounds(), window.getLocalBounds());

  // The title bar holds drawn text, not a flat colour.
  const int titleBarHeight = window.getTitleBarHeight();
  std::set<juce::uint32> colours;
  for (int y = 0; y < titleBarHeight; ++y) {
    for (int x = 0; x < image.getWidth(); ++x) colours.insert(image.getPixelAt(x, y).getARGB());
  }
  EXPECT_GT(colours.size(), 8u) << picture.getFullPathName();
}

INSTANTIATE_TEST_SUITE_P(Languages, MainWindowOnScreen,
                         ::testing::Values(WindowCase{0x0804, "zh_CN"}, WindowCase{0x0404, "zh_TW"},
                                           WindowCase{0x0409, "en_US"}));

}  // namespace
