#include "hooks.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace vendrolix::helper {
namespace {

TEST(ClassList, IsPlainContainmentIgnoringCase) {
  const struct {
    const char* name;
    bool listed;
  } cases[] = {
      {"IEFRAME", true},         {"TOOLBARWINDOW32", true}, {"EDIT", true},
      {"REBARWINDOW32", true},   {"MSCTLS_STATUSBAR32", true}, {"COMBOLBOX", true},
      {"CABINETWCLASS", true},   {"BAR", true},             {"MSCTLS_STATUSBAR", true},
      {"", true},                {"#", true},               {"INTERNET EXPLORER_SERVER", false},
      {"SHOCKWAVEFLASH", false}, {"EDIT2", false},          {"ieframe", true},
  };
  for (const auto& c : cases) EXPECT_EQ(IsListedClass(c.name), c.listed) << c.name;
}

class FakeMouse : public MouseEnv {
 public:
  std::string className;
  std::string popup = "2";
  bool frameCursor = false;
  std::int32_t now = 5000;
  std::string TargetClassName() override { return className; }
  std::string PopupText() override { return popup; }
  bool CursorIsFrameCursor() override { return frameCursor; }
  std::int32_t Now() override { return now; }
};

TEST(MouseHook, StampsQualifyingPressesAndReleases) {
  constexpr std::int32_t kBefore = 77;  // stamps before the message
  const struct {
    const char* name;
    int nCode;
    unsigned message;
    const char* className;
    const char* popup;
    bool frameCursor;
    std::int32_t clickAfter;
    std::int32_t upAfter;
  } cases[] = {
      {"press on the page clears", 0, kLeftButtonDown, "Internet Explorer_Server", "2", false, 0, kBefore},
      {"press on a plug-in stamps", 0, kLeftButtonDown, "ShockwaveFlash", "2", false, 5000, kBefore},
      {"press on the toolbar clears", 0, kLeftButtonDown, "ToolbarWindow32", "2", false, 0, kBefore},
      {"press on a class named exactly the prefix stamps", 0, kLeftButtonDown, "Internet Explorer", "2", false, 5000,
       kBefore},
      {"press on another browser class clears", 0, kLeftButtonDown, "Internet Explorer_Hidden", "2", false, 0,
       kBefore},
      {"press with a failed lookup clears", 0, kLeftButtonDown, "", "2", false, 0, kBefore},
      {"release on the page stamps", 0, kLeftButtonUp, "Internet Explorer_Server", "2", true, 5000, 5000},
      {"release on the address box", 0, kLeftButtonUp, "Edit", "2", false, 0, 5000},
      {"release on the status bar", 0, kLeftButtonUp, "msctls_statusbar32", "2", false, 0, 5000},
      {"release on a part of a listed name", 0, kLeftButtonUp, "msctls_statusbar", "2", false, 0, 5000},
      {"release on the hidden window", 0, kLeftButtonUp, "Internet Explorer_Hidden", "2", false, 0, 5000},
      {"release on a plug-in", 0, kLeftButtonUp, " ShockwaveFlash ", "3", true, 5000, 5000},
      {"level 3: plain cursor on the page", 0, kLeftButtonUp, "Internet Explorer_Server", "3", true, 0, 5000},
      {"level 3: link cursor on the page", 0, kLeftButtonUp, "Internet Explorer_Server", "3", false, 5000, 5000},
      {"level 3 only as the exact text", 0, kLeftButtonUp, "Internet Explorer_Server", "03", true, 5000, 5000},
      {"level 1: plain cursor counts", 0, kLeftButtonUp, "Internet Explorer_Server", "1", true, 5000, 5000},
      {"right button changes nothing", 0, 0x0204, "Internet Explorer_Server", "2", false, kBefore, kBefore},
      {"middle button changes nothing", 0, 0x0208, "ShockwaveFlash", "2", false, kBefore, kBefore},
      {"mouse move changes nothing", 0, 0x0200, "ShockwaveFlash", "2", false, kBefore, kBefore},
      {"negative code", -1, kLeftButtonUp, "ShockwaveFlash", "2", false, kBefore, kBefore},
      {"negative as 16 bits", 0x18000, kLeftButtonUp, "ShockwaveFlash", "2", false, kBefore, kBefore},
      {"peeked messages count too", 3, kLeftButtonUp, "ShockwaveFlash", "2", false, 5000, 5000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeMouse env;
    env.className = c.className;
    env.popup = c.popup;
    env.frameCursor = c.frameCursor;
    WindowState window;
    window.ClickStamp = kBefore;
    window.ReleaseStamp = kBefore;
    std::int32_t up = kBefore;
    OnMouseMessage(c.nCode, c.message, window, up, env);
    EXPECT_EQ(window.ClickStamp, c.clickAfter);
    EXPECT_EQ(up, c.upAfter);
    // Every release the thread's stamp sees, qualifying or not.
    EXPECT_EQ(window.ReleaseStamp, c.upAfter);
  }
}

TEST(DialogGrace, ByTriggerAndLevel) {
  const struct {
    unsigned trigger;
    std::int16_t level;
    std::int32_t grace;
  } cases[] = {
      {kDialogMessage, 1, 5000}, {kDialogMessage, 2, 2500}, {kDialogMessage, 3, 1200}, {kDialogMessage, 7, 2500},
      {kDialogMessage, -2, 2500}, {kUserMessage, 1, 2000},  {kUserMessage, 2, 1200},   {kUserMessage, 3, 1200},
      {kUserMessage, 9, 1200},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DialogGracePeriod(c.trigger, c.level), c.grace) << c.trigger << " " << c.level;
  }
}

class FakeDesktop : public DialogEnv {
 public:
  struct Window {
    std::intptr_t handle, owner;
    std::string className;
  };
  std::vector<Window> windows;
  std::map<std::string, std::string> settings{{"Popup", "2"}, {"Sound", "1"}};
  bool ctrl = false;
  std::int16_t listed = 1;
  std::int32_t now = 10000;
  std::string log;
  int scans = 0;

  std::string ReadSetting(const char* name) override {
    const auto it = settings.find(name);
    return it == settings.end() ? "1" : it->second;
  }
  std::int16_t IsBlockedUrl(const std::string&) override { return listed; }
  bool CtrlDown() override { return ctrl; }
  std::int32_t Now() override { return now; }
  void PlayWave() override { log += "wave;"; }
  void Beep() override { log += "beep;"; }
  void RecordBlocked(const std::string& site, const std::string&) override { log += "site " + site + ";"; }
  void PostClick(std::int32_t window) override { log += "click " + std::to_string(window) + ";"; }
  std::intptr_t FindDialogFrame() override {
    for (const auto& w : windows) {
      if (w.className == kDialogClass) return w.handle;
    }
    return 0;
  }
  bool EnumTopLevel(const std::function<void(std::intptr_t)>& visit) override {
    ++scans;
    for (const auto& w : windows) visit(w.handle);
    return true;
  }
  std::intptr_t OwnerOf(std::intptr_t window) override {
    for (const auto& w : windows) {
      if (w.handle == window) return w.owner;
    }
    return 0;
  }
  std::string ClassNameOf(std::intptr_t window) override {
    for (const auto& w : windows) {
      if (w.handle == window) return w.className;
    }
    return "";
  }
  void CloseDialog(std::intptr_t window) override { log += "close " + std::to_string(window) + ";"; }
};

constexpr std::intptr_t kFrame = 100;

struct Thread {
  DialogWatch watch;
  WindowState window;
  std::int32_t buttonUp = 0;
  Thread() {
    watch.FrameWindow = kFrame;
    window.TrayBlockButton = 9;
    window.CurrentUrl = "http://ads.example/pop";
  }
};

TEST(DialogWatch, JudgesNewDialogsOfThisWindow) {
  const struct {
    const char* name;
    unsigned trigger;
    const char* popup;
    const char* sound;
    std::int32_t releasedAgo;  // -1: no release
    bool ctrl;
    std::int16_t listed;
    std::string actions;
    std::int32_t buttonUpAfter;  // -1: unchanged
  } cases[] = {
      {"level 2, 1 s after a release, is kept", kDialogMessage, "2", "1", 1000, false, 1, "", 0},
      {"level 3 keeps at 1 s", kDialogMessage, "3", "1", 1000, false, 1, "", 0},
      {"level 3 closes at 1.5 s", kDialogMessage, "3", "1", 1500, false, 1, "close 200;site ads.example;click 9;beep;", 0},
      {"no release closes", kDialogMessage, "2", "1", -1, false, 1, "close 200;site ads.example;click 9;beep;", 0},
      {"level 0 keeps", kDialogMessage, "0", "1", -1, false, 1, "", -1},
      {"level 4 closes despite a release", kDialogMessage, "4", "0", 10, false, 1, "close 200;site ads.example;click 9;wave;", -1},
      {"level 4 keeps with Ctrl", kDialogMessage, "4", "1", -1, true, 1, "", -1},
      {"level 4 keeps a listed page", kDialogMessage, "4", "1", -1, false, 0, "", -1},
      {"WM_USER rejects with the sound first", kUserMessage, "2", "1", 1201, false, 1, "beep;close 200;site ads.example;click 9;", 0},
      {"WM_USER level 1 keeps at 2 s", kUserMessage, "1", "2", 2000, false, 1, "", 0},
      {"WM_USER level 1 closes silently after 2 s", kUserMessage, "1", "2", 2001, false, 1, "close 200;site ads.example;click 9;", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeDesktop desktop;
    desktop.settings = {{"Popup", c.popup}, {"Sound", c.sound}};
    desktop.ctrl = c.ctrl;
    desktop.listed = c.listed;
    Thread thread;
    thread.watch.DialogStamp = desktop.now - 100;
    desktop.windows = {{50, 0, "IEFrame"}, {200, kFrame, kDialogClass}};
    thread.buttonUp = c.releasedAgo < 0 ? 0 : desktop.now - c.releasedAgo;
    const std::int32_t before = thread.buttonUp;
    OnHookedMessage(0, c.trigger, thread.watch, thread.window, thread.buttonUp, desktop);
    EXPECT_EQ(desktop.log, c.actions);
    EXPECT_EQ(thread.buttonUp, c.buttonUpAfter < 0 ? before : c.buttonUpAfter);
    EXPECT_EQ(thread.window.DialogFrame, 200);
  }
}

TEST(DialogWatch, NeverJudgesADialogTwiceAndLeavesOtherWindowsDialogs) {
  FakeDesktop desktop;
  desktop.settings = {{"Popup", "4"}, {"Sound", "2"}};
  Thread thread;
  desktop.windows = {{300, 555, kDialogClass}};  // another browser window's
  OnHookedMessage(0, kDialogMessage, thread.watch, thread.window, thread.buttonUp, desktop);
  EXPECT_EQ(desktop.log, "");
  EXPECT_EQ(thread.window.DialogFrame, 300);  // but it lengthens the grace period here
  EXPECT_TRUE(thread.watch.DialogList.empty());

  desktop.windows.push_back({200, kFrame, kDialogClass});
  OnHookedMessage(0, kDialogMessage, thread.watch, thread.window, thread.buttonUp, desktop);
  EXPECT_EQ(desktop.log, "close 200;site ads.example;click 9;");
  EXPECT_EQ(thread.watch.DialogList, std::vector<std::int32_t>{200});
  desktop.log.clear();
  OnHookedMessage(0, kDialogMessage, thread.watch, thread.window, thread.buttonUp, desktop);
  EXPECT_EQ(desktop.log, "");

  // A handle whose digits begin an older one's is a new dialog all the same.
  thread.watch.DialogList = {2001};
  desktop.windows = {{200, kFrame, kDialogClass}};
  OnHookedMessage(0, kDialogMessage, thread.watch, thread.window, thread.buttonUp, desktop);
  EXPECT_EQ(desktop.log, "close 200;site ads.example;click 9;");

  // A window whose frame is unknown judges nothing, unowned dialogs least.
  Thread frameless;
  frameless.watch.FrameWindow = 0;
  desktop.windows = {{400, 0, kDialogClass}};
  desktop.log.clear();
  OnHookedMessage(0, kDialogMessage, frameless.watch, frameless.window, frameless.buttonUp, desktop);
  EXPECT_EQ(desktop.log, "");

  // No dialog at all: the list is forgotten.
  desktop.windows.clear();
  OnHookedMessage(0, kDialogMessage, thread.watch, thread.window, thread.buttonUp, desktop);
  EXPECT_TRUE(thread.watch.DialogList.empty());
  EXPECT_EQ(thread.window.DialogFrame, 0);
}

TEST(DialogWatch, ScansOnSelectedUserMessagesAndResetsAfterTheSixteenth) {
  FakeDesktop desktop;
  Thread thread;
  desktop.windows = {{200, kFrame, kDialogClass}};
  thread.watch.DialogStamp = desktop.now;
  std::vector<int> scannedAt;
  for (int i = 1; i <= 20; ++i) {
    const int before = desktop.scans;
    OnHookedMessage(0, kUserMessage, thread.watch, thread.window, thread.buttonUp, desktop);
    if (desktop.scans != before) scannedAt.push_back(i);
    if (i == 16) {
      EXPECT_EQ(thread.watch.UserMessageCount, 0);
    }
  }
  EXPECT_EQ(scannedAt, (std::vector<int>{1, 3, 5, 8, 11, 17, 19}));

  // More than 5 s after the last 0x0491 message: counting stops.
  thread.watch.UserMessageCount = 4;
  desktop.now = thread.watch.DialogStamp + 5001;
  OnHookedMessage(0, kUserMessage, thread.watch, thread.window, thread.buttonUp, desktop);
  EXPECT_EQ(thread.watch.UserMessageCount, 0);
  EXPECT_EQ(desktop.scans, 7);

  // A scanning WM_USER keeps DialogFrame, the others clear it.
  desktop.now = thread.watch.DialogStamp + 10;
  OnHookedMessage(0, kUserMessage, thread.watch, thread.window, thread.buttonUp, desktop);
  EXPECT_EQ(thread.window.DialogFrame, 200);
  OnHookedMessage(0, kUserMessage, thread.watch, thread.window, thread.buttonUp, desktop);
  EXPECT_EQ(thread.window.DialogFrame, 0);

  // No dialog: count and list reset.
  desktop.windows.clear();
  OnHookedMessage(0, kUserMessage, thread.watch, thread.window, thread.buttonUp, desktop);
  EXPECT_EQ(thread.watch.UserMessageCount, 0);
}

}  // namespace
}  // namespace vendrolix::helper
