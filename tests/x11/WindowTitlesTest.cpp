#include <gtest/gtest.h>

#include <QWidget>
#include <algorithm>
#include <set>
#include <string>

#include "X11TestSupport.h"
#include "platform/QtDesktopServices.h"

namespace vosta {
namespace {

using x11test::HelperWindow;

class WindowTitlesTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(services_.HasX11()); }

  // The listed title of window `id`; "<missing>" when the window is not listed.
  std::string TitleOf(std::uint32_t id) {
    const auto windows = services_.TopLevelWindows();
    auto it = std::find_if(windows.begin(), windows.end(),
                           [&](const TopLevelWindow& w) { return w.id == id; });
    return it == windows.end() ? "<missing>" : it->title;
  }

  QtDesktopServices services_;
};

TEST_F(WindowTitlesTest, FindsMappedHiddenAndUnmanagedWindowsWithTheirTitles) {
  struct Case {
    const char* title;
    QStringList options;
    std::string expected;
  };
  const std::string longJapanese = [] {
    std::string s = "a";
    for (int i = 0; i < 100; ++i) s += "日";
    return s;
  }();
  // 255 bytes would end inside the 85th character: the title stops before it, at 253 bytes.
  const std::string cutJapanese = longJapanese.substr(0, 1 + 84 * 3);
  const Case cases[] = {
      {"vosta mapped Ultima Online", {}, "vosta mapped Ultima Online"},
      {"vosta hidden window", {"--hidden"}, "vosta hidden window"},
      {"vosta unmanaged", {"--override-redirect"}, "vosta unmanaged"},
      {"ウルティマ オンライン 日本語", {}, "ウルティマ オンライン 日本語"},
      {"", {"--hidden"}, ""},
      {"Café Ultima Online", {"--wm-name-only"}, "Café Ultima Online"},
      {"画面 Ultima Online", {"--wm-name-only", "--hidden"}, "画面 Ultima Online"},
  };
  for (const Case& c : cases) {
    HelperWindow window(QString::fromUtf8(c.title), c.options);
    ASSERT_NE(window.Id(), 0u) << c.title;
    EXPECT_EQ(TitleOf(window.Id()), c.expected) << c.title;
  }

  HelperWindow longTitle(QString::fromStdString(longJapanese), {"--hidden"});
  EXPECT_EQ(TitleOf(longTitle.Id()), cutJapanese);
  HelperWindow longAscii(QString(300, 'x'), {"--wm-name-only", "--hidden"});
  EXPECT_EQ(TitleOf(longAscii.Id()), std::string(255, 'x'));
}

TEST_F(WindowTitlesTest, ListsEachWindowOnceAndForgetsClosedOnes) {
  std::uint32_t closedId = 0;
  {
    HelperWindow a("vosta twin", {});
    HelperWindow b("vosta twin", {"--hidden"});
    closedId = a.Id();
    const auto windows = services_.TopLevelWindows();
    std::set<std::uint32_t> ids;
    int twins = 0;
    for (const TopLevelWindow& w : windows) {
      EXPECT_TRUE(ids.insert(w.id).second) << "listed twice: " << w.id;
      twins += w.title == "vosta twin";
    }
    EXPECT_EQ(twins, 2);
  }
  EXPECT_TRUE(x11test::WaitFor([&] { return TitleOf(closedId) == "<missing>"; }));
}

TEST_F(WindowTitlesTest, FindsTheProgramsOwnQtWindows) {
  // Qt writes the title in both properties; the window manager reparents the window.
  QWidget widget;
  widget.setWindowTitle(QStringLiteral("Vosta 自分の窓"));
  widget.resize(120, 40);
  widget.show();
  const auto id = static_cast<std::uint32_t>(widget.winId());
  EXPECT_TRUE(x11test::WaitFor([&] { return TitleOf(id) == "Vosta 自分の窓"; }));

  QWidget hidden;
  hidden.setWindowTitle(QStringLiteral("never shown"));
  const auto hiddenId = static_cast<std::uint32_t>(hidden.winId());
  EXPECT_TRUE(x11test::WaitFor([&] { return TitleOf(hiddenId) == "never shown"; }));
}

}  // namespace
}  // namespace vosta
