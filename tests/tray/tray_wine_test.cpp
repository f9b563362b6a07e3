// The real VendrolixTray.exe under Wine, started from an install folder with
// a manager stand-in beside it: what it publishes, what it writes to the
// settings key, what it shows in the notification area, and how it ends.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "resource.h"
#include "settings.h"
#include "input_support.h"
#include "policy_key.h"
#include "tray_wine_support.h"
#include "wine_support.h"


namespace vendrolix {
namespace {

using namespace std::chrono_literals;
using test::IconEvent;
using test::TrayProcess;

std::string ClassOf(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::string TextOf(HWND window) {
  char text[256] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

std::string Doubled(const std::string& path) {
  std::string out;
  for (char c : path) {
    out += c;
    if (c == '\\') out += '\\';
  }
  return out;
}

class TrayWine : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    install_ = std::make_unique<test::BenchInstall>("tray-install");
    ASSERT_EQ(install_->Copy(test::Arg("tray"), file::Tray) + install_->Copy(test::Arg("manager"), file::Manager), "");
  }
  static void TearDownTestSuite() { install_.reset(); }

  void SetUp() override {
    ASSERT_TRUE(observer_.Receiving()) << "the notification area's messages do not reach the test";
    DeleteFileA(ManagerLog().c_str());
  }

  std::unique_ptr<TrayProcess> StartTray(bool publishes = true) {
    observer_.Clear();
    auto tray = std::make_unique<TrayProcess>(install_->File(file::Tray));
    EXPECT_TRUE(tray->started());
    EXPECT_TRUE(tray->WaitReady(std::chrono::seconds(20), publishes)) << "the tray published no buttons";
    return tray;
  }

  // Ends the tray as another program would, and waits for it to be gone.
  void Close(TrayProcess& tray) {
    tray.Post(WM_CLOSE);
    EXPECT_TRUE(tray.WaitExit(10s));
  }

  static std::string ManagerLog() { return install_->File("manager.log"); }
  static std::string ExpectedPathTrayApp() { return Doubled(install_->path()) + "\\\\VendrolixTray.exe"; }

  static std::unique_ptr<test::BenchInstall> install_;
  test::SettingsKey settings_;
  test::IconObserver observer_;
  test::BrowserWindow browser_;
};

std::unique_ptr<test::BenchInstall> TrayWine::install_;

TEST_F(TrayWine, PublishesItsHiddenButtonsAndShowsTheIcon) {
  settings_.Set(value::Popup, "2");
  auto tray = StartTray();
  ASSERT_TRUE(tray->form());

  const struct {
    HWND window;
    const char* caption;
    const char* value;
  } buttons[] = {{tray->formButton(), "Form Close", value::hForm},
                 {tray->blockButton(), "Block", value::hButton},
                 {tray->nsAolButton(), "NSAOL", value::hNSAOLButton}};
  for (const auto& b : buttons) {
    SCOPED_TRACE(b.caption);
    EXPECT_EQ(test::HandleFromText(settings_.Get(b.value)), b.window);
    EXPECT_EQ(ClassOf(b.window), "Button");
    EXPECT_EQ(TextOf(b.window), b.caption);
    EXPECT_EQ(GetParent(b.window), tray->form());
    EXPECT_FALSE(IsWindowVisible(b.window));
  }
  EXPECT_EQ(FindWindowA(nullptr, kTrayFormCaption), tray->form());
  EXPECT_FALSE(IsWindowVisible(tray->form()));

  const auto events = observer_.Events();
  ASSERT_EQ(events.size(), 2u);
  const IconEvent& add = events[0];
  EXPECT_EQ(add.message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(add.window, tray->form());
  EXPECT_EQ(add.id, 1u);
  EXPECT_EQ(add.flags, 7u);
  EXPECT_EQ(add.callback, static_cast<UINT>(WM_TRAY_ICON));
  EXPECT_EQ(add.tip, "Vendrolix Pro - Block Ad Popup-Default");
  EXPECT_EQ(add.icon, 'B');
  // The shell's keyboard and context-menu messages, asked for at once.
  EXPECT_EQ(events[1].message, static_cast<DWORD>(NIM_SETVERSION));
  EXPECT_EQ(events[1].version, static_cast<UINT>(NOTIFYICON_VERSION_4));

  // A resize from outside hides it again.
  ShowWindow(tray->form(), SW_SHOWNOACTIVATE);
  tray->Send(WM_SIZE, SIZE_RESTORED, MAKELPARAM(100, 40));
  EXPECT_FALSE(IsWindowVisible(tray->form()));
}

TEST_F(TrayWine, ASecondStartEndsTouchingNothing) {
  settings_.Set(value::Popup, "2");
  auto first = StartTray();
  const auto published = settings_.Get(value::hForm);

  // What a start would rewrite.
  settings_.Set(value::Popup, "7");
  settings_.Set(value::FirstStart, "1");
  settings_.Remove(value::hButton);
  observer_.Clear();
  TrayProcess second(install_->File(file::Tray));
  ASSERT_TRUE(second.started());
  ASSERT_TRUE(second.WaitExit(20s));
  EXPECT_EQ(second.exitCode(), 0u);
  EXPECT_EQ(settings_.Get(value::Popup), "7");
  EXPECT_EQ(settings_.Get(value::FirstStart), "1");
  EXPECT_EQ(settings_.Get(value::hButton), std::nullopt);
  EXPECT_EQ(settings_.Get(value::PathTrayApp), std::nullopt);
  EXPECT_EQ(settings_.Get(value::hForm), published);
  EXPECT_TRUE(observer_.Events().empty());
  EXPECT_TRUE(first->running());
}

TEST_F(TrayWine, EveryWayOutUnloadsAndClearsOnlyTheFormHandle) {
  const struct {
    const char* name;
    void (*end)(TrayProcess&);
  } ways[] = {
      {"WM_CLOSE from another program", [](TrayProcess& tray) { tray.Post(WM_CLOSE); }},
      {"the session ends", [](TrayProcess& tray) { tray.Send(WM_ENDSESSION, TRUE, 0); }},
      {"WM_QUIT from another program",
       [](TrayProcess& tray) { PostThreadMessageA(GetWindowThreadProcessId(tray.form(), nullptr), WM_QUIT, 0, 0); }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.name);
    auto tray = StartTray();
    const auto block = settings_.Get(value::hButton);
    const auto nsAol = settings_.Get(value::hNSAOLButton);
    observer_.Clear();
    way.end(*tray);
    EXPECT_TRUE(tray->WaitExit(10s));
    EXPECT_EQ(settings_.Get(value::hForm), "0");
    EXPECT_EQ(settings_.Get(value::hButton), block);
    EXPECT_EQ(settings_.Get(value::hNSAOLButton), nsAol);
    const auto events = observer_.Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(events[0].id, 1u);
  }
}

TEST_F(TrayWine, StartUpSettlesTheLevel) {
  const struct {
    const char* name;
    const char* popup;       // nullptr: missing
    const char* firstStart;  // nullptr: missing
    const char* popupAfter;  // nullptr: still missing
    bool pathWritten;
    char icon;
  } cases[] = {
      {"above 4 becomes Default", "7", nullptr, "2", true, 'B'},
      {"Allow", "0", nullptr, "0", false, 'A'},
      {"below 0 checks nothing, blocking icon", "-1", nullptr, "-1", false, 'B'},
      {"missing reads as Low", nullptr, nullptr, nullptr, false, 'B'},
      {"not a number reads as Allow", "abc", nullptr, "abc", false, 'A'},
      {"out of 16-bit range reads as Allow", "70000", nullptr, "70000", false, 'A'},
      {"first start after installation", "0", "1", "2", true, 'B'},
      {"an empty marker is no first start", "0", "", "0", false, 'A'},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    settings_.Remove(value::PathTrayApp);
    settings_.Remove(value::FirstStart);
    settings_.Remove(value::FirstStartTaken);
    if (c.popup) {
      settings_.Set(value::Popup, c.popup);
    } else {
      settings_.Remove(value::Popup);
    }
    if (c.firstStart) settings_.Set(value::FirstStart, c.firstStart);
    auto tray = StartTray();
    EXPECT_EQ(settings_.Get(value::Popup), c.popupAfter ? std::optional<std::string>(c.popupAfter) : std::nullopt);
    EXPECT_EQ(settings_.Get(value::PathTrayApp),
              c.pathWritten ? std::optional<std::string>(ExpectedPathTrayApp()) : std::nullopt);
    if (c.firstStart && std::strcmp(c.firstStart, "1") == 0) {
      // Taken by this user; the machine's marker stays for the others.
      EXPECT_EQ(settings_.Get(value::FirstStartTaken), "1");
      EXPECT_EQ(settings_.Get(value::FirstStart), "1");
    }
    const auto events = observer_.Events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0].icon, c.icon);
    Close(*tray);
  }
}

// A step of the level tests: a menu command, or the icon's left click.
constexpr UINT kLeftClick = 0;

TEST_F(TrayWine, LevelItemsAndTheLeftClickToggle) {
  struct Step {
    UINT command;
    const char* popup;
    const char* popupSave;  // nullptr: missing
    char icon;
  };
  const struct {
    const char* name;
    const char* popup;
    const char* popupSave;
    std::vector<Step> steps;
  } cases[] = {
      {"Default, click, click", "2", nullptr, {{kLeftClick, "0", "2", 'A'}, {kLeftClick, "2", "2", 'B'}}},
      {"a saved level that is no level returns to Default", "0", "9", {{kLeftClick, "2", "9", 'B'}}},
      {"Allow while in Allow keeps the saved level", "0", "3", {{IDM_ALLOW_POPUP, "0", "3", 'A'}}},
      {"High from Allow keeps the saved level; a click pair returns to High",
       "0",
       "1",
       {{IDM_BLOCK_AD_POPUP_HIGH, "3", "1", 'B'}, {kLeftClick, "0", "3", 'A'}, {kLeftClick, "3", "3", 'B'}}},
      {"each level item writes its level",
       "1",
       nullptr,
       {{IDM_BLOCK_ALL_POPUP, "4", nullptr, 'B'},
        {IDM_BLOCK_AD_POPUP_LOW, "1", nullptr, 'B'},
        {IDM_BLOCK_AD_POPUP_DEFAULT, "2", nullptr, 'B'},
        {IDM_ALLOW_POPUP, "0", "2", 'A'}}},
      {"missing level and saved level: Low both ways",
       nullptr,
       nullptr,
       {{kLeftClick, "0", "1", 'A'}, {kLeftClick, "1", "1", 'B'}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    settings_.Remove(value::PopupSave);
    if (c.popup) {
      settings_.Set(value::Popup, c.popup);
    } else {
      settings_.Remove(value::Popup);
    }
    if (c.popupSave) settings_.Set(value::PopupSave, c.popupSave);
    auto tray = StartTray();
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
      const Step& step = c.steps[i];
      SCOPED_TRACE("step " + std::to_string(i));
      observer_.Clear();
      if (step.command == kLeftClick) {
        ASSERT_TRUE(tray->Send(WM_TRAY_ICON, 0, MAKELPARAM(NIN_SELECT, 1)));
      } else {
        ASSERT_TRUE(tray->Send(WM_COMMAND, step.command, 0));
      }
      EXPECT_EQ(settings_.Get(value::Popup), step.popup);
      EXPECT_EQ(settings_.Get(value::PopupSave),
                step.popupSave ? std::optional<std::string>(step.popupSave) : std::nullopt);
      const auto events = observer_.Events();
      ASSERT_EQ(events.size(), 1u);
      EXPECT_EQ(events[0].message, static_cast<DWORD>(NIM_MODIFY));
      EXPECT_EQ(events[0].icon, step.icon);
    }
    Close(*tray);
  }

  // Another program sets Allow while the tray blocks: the left click still
  // goes by the tray's own state and leaves Allow, saving "0" nowhere.
  settings_.Set(value::Popup, "3");
  settings_.Remove(value::PopupSave);
  auto tray = StartTray();
  settings_.Set(value::Popup, "0");
  ASSERT_TRUE(tray->Send(WM_TRAY_ICON, 0, MAKELPARAM(NIN_KEYSELECT, 1)));
  EXPECT_EQ(settings_.Get(value::Popup), "0");
  EXPECT_EQ(settings_.Get(value::PopupSave), std::nullopt);
  EXPECT_EQ(test::IconTrail(observer_.Events()), "BBA");  // added, version asked, allowing
}

// The administrator's level: shown at start and when the menu opens, and
// neither the level items nor the icon change it.
TEST_F(TrayWine, AnEnforcedLevelIsShownAndNothingChangesIt) {
  const test::PolicyGuard policies;
  settings_.Set(value::Popup, "2");
  settings_.Remove(value::PopupSave);
  ASSERT_TRUE(test::SetPolicyDword(policy::BlockLevel, 0));
  auto tray = StartTray();
  ASSERT_TRUE(observer_.WaitForCount(1, 10s));
  EXPECT_EQ(observer_.Events()[0].icon, 'A') << "the enforced Allow, not the user's level";
  for (UINT command : {static_cast<UINT>(kLeftClick), static_cast<UINT>(IDM_BLOCK_ALL_POPUP),
                       static_cast<UINT>(IDM_ALLOW_POPUP)}) {
    SCOPED_TRACE(command);
    if (command == kLeftClick) {
      ASSERT_TRUE(tray->Send(WM_TRAY_ICON, 0, MAKELPARAM(NIN_SELECT, 1)));
    } else {
      ASSERT_TRUE(tray->Send(WM_COMMAND, command, 0));
    }
    EXPECT_EQ(settings_.Get(value::Popup), "2");
    EXPECT_EQ(settings_.Get(value::PopupSave), std::nullopt);
    EXPECT_EQ(observer_.Events().back().icon, 'A');
  }

  // The menu opened reads the policy afresh. (Whether its items are greyed
  // cannot be read from another process under Wine; the controller's tests
  // hold the marks the menu is given.)
  ASSERT_TRUE(test::SetPolicyDword(policy::BlockLevel, 3));
  ASSERT_TRUE(tray->Post(WM_TRAY_ICON, MAKEWPARAM(400, 300), MAKELPARAM(WM_CONTEXTMENU, 1)));
  HWND menu = nullptr;
  ASSERT_TRUE(test::WaitUntil(
      [&] {
        menu = FindWindowA("#32768", nullptr);
        return menu && IsWindowVisible(menu);
      },
      10s));
  EXPECT_EQ(observer_.Events().back().icon, 'B') << "the enforced High";
  test::KeyPress(VK_ESCAPE);
  EXPECT_TRUE(test::WaitUntil([&] { return !IsWindowVisible(menu); }, 10s));
  ASSERT_TRUE(tray->Send(WM_TRAY_ICON, 0, MAKELPARAM(NIN_SELECT, 1)));
  EXPECT_EQ(settings_.Get(value::Popup), "2");

  // Removed, the user's level is back at the next menu.
  test::RemovePolicies();
  ASSERT_TRUE(tray->Send(WM_TRAY_ICON, 0, MAKELPARAM(NIN_SELECT, 1)));
  EXPECT_EQ(settings_.Get(value::Popup), "0");
  EXPECT_EQ(settings_.Get(value::PopupSave), "2");
  Close(*tray);
}

// A user who may read the machine's settings key but not write it: the tray
// reads and shows the machine's level (Allow; the default of a failed read
// would be Low), publishes in its own session, and keeps the user's choices
// as the user's own, never over the machine's copy.
TEST_F(TrayWine, AKeyItMayOnlyReadShowsTheStoredLevelAndSurvivesItsMenu) {
  settings_.SetMachine(value::Popup, "0");
  test::ReadOnlySettings readOnly;
  ASSERT_TRUE(readOnly.applied());
  auto tray = StartTray(/*publishes=*/false);
  ASSERT_TRUE(observer_.WaitForCount(1, 10s));
  EXPECT_EQ(observer_.Events()[0].icon, 'A');
  EXPECT_NE(settings_.Get(value::hForm), std::nullopt) << "published in the session's own key";
  for (UINT command : {static_cast<UINT>(IDM_BLOCK_ALL_POPUP), static_cast<UINT>(IDM_NO_SOUND),
                       static_cast<UINT>(IDM_WHITE_LIST)}) {
    ASSERT_TRUE(tray->Send(WM_COMMAND, command, 0)) << command;
  }
  ASSERT_TRUE(tray->Send(WM_TRAY_ICON, 0, MAKELPARAM(NIN_SELECT, 1)));
  EXPECT_TRUE(tray->running());
  EXPECT_EQ(test::GetText(HKEY_LOCAL_MACHINE, kSettingsKey, value::Popup), "0");
  EXPECT_EQ(test::GetText(HKEY_LOCAL_MACHINE, kSettingsKey, value::Sound), std::nullopt);
  EXPECT_EQ(settings_.Get(value::Sound), "2");
  EXPECT_EQ(settings_.Get(value::Status), "0");
  EXPECT_TRUE(test::WaitUntil([&] { return test::ReadFileBytes(ManagerLog()).has_value(); }, 10s))
      << "the manager is still started";
  Close(*tray);
}

TEST_F(TrayWine, OtherMouseMessagesOnTheIconDoNothing) {
  settings_.Set(value::Popup, "2");
  auto tray = StartTray();
  observer_.Clear();
  // Under the fourth version the button-up messages only come before what
  // they mean (a selection, a context menu), which is acted on instead.
  for (LPARAM mouse :
       {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_MBUTTONUP, WM_LBUTTONUP, WM_RBUTTONUP}) {
    ASSERT_TRUE(tray->Send(WM_TRAY_ICON, 1, mouse));
  }
  EXPECT_EQ(settings_.Get(value::Popup), "2");
  EXPECT_TRUE(observer_.Events().empty());
}

// A shell that refuses the fourth version sends only the mouse messages:
// then the button-up messages act, and nothing else does.
TEST_F(TrayWine, AShellWithoutTheFourthVersionKeepsTheMouseMessages) {
  observer_.RefuseVersions();
  settings_.Set(value::Popup, "2");
  auto tray = StartTray();
  for (UINT ignored : {static_cast<UINT>(NIN_SELECT), static_cast<UINT>(NIN_KEYSELECT), static_cast<UINT>(WM_CONTEXTMENU)}) {
    ASSERT_TRUE(tray->Send(WM_TRAY_ICON, MAKEWPARAM(400, 300), MAKELPARAM(ignored, 1)));
  }
  EXPECT_EQ(settings_.Get(value::Popup), "2");
  EXPECT_EQ(FindWindowA("#32768", nullptr) && IsWindowVisible(FindWindowA("#32768", nullptr)), false);
  ASSERT_TRUE(tray->Send(WM_TRAY_ICON, 1, WM_LBUTTONUP));
  EXPECT_EQ(settings_.Get(value::Popup), "0");
}

// At the anchor the shell gives (the pointer, or the icon for Shift+F10),
// wherever the pointer is; left with Esc, the keyboard goes back to the
// notification area.
TEST_F(TrayWine, ContextMenuOpensAtTheShellsAnchor) {
  settings_.Set(value::Popup, "2");
  auto tray = StartTray();
  SetCursorPos(100, 100);
  observer_.Clear();
  ASSERT_TRUE(tray->Post(WM_TRAY_ICON, MAKEWPARAM(400, 300), MAKELPARAM(WM_CONTEXTMENU, 1)));
  HWND menu = nullptr;
  ASSERT_TRUE(test::WaitUntil(
      [&] {
        menu = FindWindowA("#32768", nullptr);
        DWORD owner = 0;
        if (menu) GetWindowThreadProcessId(menu, &owner);
        return menu && owner == tray->pid() && IsWindowVisible(menu);
      },
      10s))
      << "no popup menu of the tray showed";
  RECT where{};
  GetWindowRect(menu, &where);
  EXPECT_EQ(where.left, 400);
  EXPECT_EQ(where.top, 300);
  EXPECT_EQ(GetForegroundWindow(), tray->form());
  // Dismissed with Escape, the tray goes on as before.
  test::KeyPress(VK_ESCAPE);
  EXPECT_TRUE(test::WaitUntil([&] { return !IsWindowVisible(menu); }, 10s));
  ASSERT_TRUE(tray->Send(WM_NULL));
  EXPECT_EQ(settings_.Get(value::Popup), "2");
  ASSERT_EQ(observer_.Events().size(), 1u);
  EXPECT_EQ(observer_.Events()[0].message, static_cast<DWORD>(NIM_SETFOCUS));
}

TEST_F(TrayWine, SoundItemsAndTheManager) {
  auto tray = StartTray();
  observer_.Clear();
  const struct {
    UINT command;
    const char* sound;
  } sounds[] = {{IDM_WAVE_SOUND, "0"}, {IDM_NO_SOUND, "2"}, {IDM_INTERNAL_SOUND, "1"}};
  for (const auto& s : sounds) {
    ASSERT_TRUE(tray->Send(WM_COMMAND, s.command, 0));
    EXPECT_EQ(settings_.Get(value::Sound), s.sound);
  }
  EXPECT_TRUE(observer_.Events().empty()) << "the icon is not touched";

  const std::string started = "start \"" + install_->File(file::Manager) + "\"|" + install_->path() + "\r\n";
  const struct {
    UINT command;
    const char* status;
  } pages[] = {{IDM_WHITE_LIST, "0"}, {IDM_COOKIE_MANAGER, "1"}, {IDM_WHITE_LIST, "0"}};
  std::string expectedLog;
  for (const auto& p : pages) {
    ASSERT_TRUE(tray->Send(WM_COMMAND, p.command, 0));
    EXPECT_EQ(settings_.Get(value::Status), p.status);
    expectedLog += started;
    EXPECT_TRUE(test::WaitUntil([&] { return test::ReadFileBytes(ManagerLog()).value_or("") == expectedLog; }, 10s))
        << test::ReadFileBytes(ManagerLog()).value_or("(no log)");
  }
}

TEST_F(TrayWine, BlockClicksFlashTheIconAtMostOnceASecond) {
  const std::string flash = "ABABABAB";
  const struct {
    const char* popup;
    char restored;
    const char* level;
  } cases[] = {{"2", 'B', "Block Ad Popup-Default"}, {"0", 'A', "Allow Popup"}};
  // Each block is counted in the tip first; a new tray counts from one.
  for (const auto& c : cases) {
    const auto tip = [&](const char* count) { return std::string("Vendrolix Pro - ") + c.level + "\n" + count; };
    SCOPED_TRACE(c.popup);
    settings_.Set(value::Popup, c.popup);
    auto tray = StartTray();
    observer_.Clear();
    const DWORD posted = GetTickCount();
    ASSERT_TRUE(PostMessageA(tray->blockButton(), kButtonClickMessage, 0, 0));
    // The window answers while the icon flashes.
    ASSERT_TRUE(observer_.WaitForCount(3, 10s));
    DWORD_PTR answer = 0;
    EXPECT_TRUE(SendMessageTimeoutA(tray->form(), WM_NULL, 0, 0, SMTO_NORMAL, 100, &answer));
    EXPECT_LT(observer_.Events().size(), 10u) << "answered only after the flash";
    ASSERT_TRUE(observer_.WaitForCount(10, 10s));
    auto events = observer_.Events();
    EXPECT_EQ(test::IconTrail(events), c.restored + flash + c.restored);
    for (const auto& e : events) {
      EXPECT_EQ(e.message, static_cast<DWORD>(NIM_MODIFY));
      EXPECT_EQ(e.flags, 7u);
      EXPECT_EQ(e.tip, tip("1 pop-up blocked"));
    }
    // Eight half-periods of 150 ms between the first change and the restore.
    EXPECT_GE(events.back().tick - events[1].tick, 1050u);
    EXPECT_LT(events.front().tick - posted, 3000u);

    // Right after the flash: counted, but no flash. Sent rather than posted,
    // so that the click has been handled when the call returns.
    DWORD_PTR result = 0;
    ASSERT_TRUE(SendMessageTimeoutA(tray->blockButton(), kButtonClickMessage, 0, 0, SMTO_NORMAL, 20000, &result));
    ASSERT_EQ(observer_.Events().size(), 11u);
    EXPECT_EQ(observer_.Events().back().tip, tip("2 pop-ups blocked"));

    // More than a second after it: flashes again.
    const DWORD sinceEnd = GetTickCount() - events.back().tick;
    if (sinceEnd < 1150) Sleep(1150 - sinceEnd);
    observer_.Clear();
    ASSERT_TRUE(PostMessageA(tray->blockButton(), kButtonClickMessage, 0, 0));
    ASSERT_TRUE(observer_.WaitForCount(10, 10s));
    EXPECT_EQ(test::IconTrail(observer_.Events()), c.restored + flash + c.restored);
    EXPECT_EQ(observer_.Events().back().tip, tip("3 pop-ups blocked"));
    Close(*tray);
  }
}

TEST_F(TrayWine, NetscapeAolBlocksFlashWhateverTheSound) {
  for (const char* sound : {"2", "1", "0", "x"}) {
    SCOPED_TRACE(sound);
    settings_.Set(value::Popup, "4");
    settings_.Set(value::Sound, sound);
    auto tray = StartTray();
    observer_.Clear();
    ASSERT_TRUE(PostMessageA(tray->nsAolButton(), kButtonClickMessage, 0, 0));
    ASSERT_TRUE(observer_.WaitForCount(10, 10s));
    EXPECT_EQ(test::IconTrail(observer_.Events()), "BABABABABB");
    Close(*tray);
  }
}

TEST_F(TrayWine, FormCloseClickWithNoBrowserEndsTheTray) {
  settings_.Set(value::NSAutoClean, "0");
  settings_.Set(value::AutoClean, "0");
  auto tray = StartTray();
  observer_.Clear();
  browser_.Close();
  ASSERT_TRUE(PostMessageA(tray->formButton(), kButtonClickMessage, 0, 0));
  ASSERT_TRUE(tray->WaitExit(15s));
  EXPECT_EQ(settings_.Get(value::hForm), "0");
  const auto events = observer_.Events();
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back().message, static_cast<DWORD>(NIM_DELETE));
}

TEST_F(TrayWine, MessengerOnNT) {
  const std::string service = kMessengerServiceKey;
  const struct {
    const char* name;
    const char* atStart;  // BlockMessenger; nullptr: missing
    bool serviceKey;
    const char* afterStart;
    DWORD startAfterStart;  // 0: no Start value
    std::vector<std::pair<UINT, std::pair<const char*, DWORD>>> commands;
  } cases[] = {
      {"a pending block is carried out once", "9", true, "1", 3, {}},
      {"blocked: the service is left alone", "1", true, "1", 2, {}},
      {"allowed: the service is left alone", "0", true, "0", 2, {}},
      {"missing reads as blocked", nullptr, true, nullptr, 2, {}},
      {"the items switch both values",
       "0",
       true,
       "0",
       2,
       {{IDM_BLOCK_MESSENGER, {"1", 3}}, {IDM_ALLOW_MESSENGER, {"0", 2}}, {IDM_BLOCK_MESSENGER, {"1", 3}}}},
      // As off NT: the items do not show, a pending block stays pending.
      {"no service: no items, nothing written", "9", false, "9", 0, {{IDM_BLOCK_MESSENGER, {"9", 0}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::DeleteKeyTree(HKEY_LOCAL_MACHINE, service);
    if (c.serviceKey) test::SetDword(HKEY_LOCAL_MACHINE, service, kMessengerStartValue, 2);
    if (c.atStart) {
      settings_.Set(value::BlockMessenger, c.atStart);
    } else {
      settings_.Remove(value::BlockMessenger);
    }
    auto tray = StartTray();
    auto start = [&] { return test::GetDword(HKEY_LOCAL_MACHINE, service, kMessengerStartValue).value_or(0); };
    EXPECT_EQ(settings_.Get(value::BlockMessenger),
              c.afterStart ? std::optional<std::string>(c.afterStart) : std::nullopt);
    EXPECT_EQ(start(), c.startAfterStart);
    for (const auto& command : c.commands) {
      ASSERT_TRUE(tray->Send(WM_COMMAND, command.first, 0));
      EXPECT_EQ(settings_.Get(value::BlockMessenger), command.second.first);
      EXPECT_EQ(start(), command.second.second);
    }
    EXPECT_EQ(test::KeyExists(HKEY_LOCAL_MACHINE, service), c.serviceKey);
    Close(*tray);
  }
  test::DeleteKeyTree(HKEY_LOCAL_MACHINE, service);
}

TEST_F(TrayWine, MessengerItemsStartNet) {
  test::SetDword(HKEY_LOCAL_MACHINE, kMessengerServiceKey, kMessengerStartValue, 2);
  settings_.Set(value::BlockMessenger, "0");
  auto tray = StartTray();
  ASSERT_TRUE(tray->Post(WM_COMMAND, IDM_BLOCK_MESSENGER, 0));
  EXPECT_TRUE(test::WaitForChildProcess(tray->pid(), "net.exe", 10s)) << "NET.EXE was not started";
  Close(*tray);
  test::DeleteKeyTree(HKEY_LOCAL_MACHINE, kMessengerServiceKey);
}

}  // namespace
}  // namespace vendrolix
