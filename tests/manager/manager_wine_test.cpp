// Drives the real VendrolixPro.exe under Wine: real clicks on the painted
// buttons, the white list file checked byte for byte afterwards.
#include <windows.h>
#include <oleacc.h>  // after windows.h
#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <map>
#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "atomic_write.h"
#include "high_contrast.h"
#include "input_support.h"
#include "policy_key.h"
#include "text.h"
#include "wine_support.h"
#include "win32/handles.h"

namespace vendrolix::test {
namespace {

constexpr const char* kWhiteListClass = "VendrolixProWhiteList";
constexpr const char* kCookieClass = "VendrolixProCookie";
constexpr const char* kMessageClass = "VendrolixProMessage";
using namespace std::chrono_literals;

struct FindData {
  DWORD pid;
  const char* className;
  HWND found;
};

BOOL CALLBACK FindOne(HWND hwnd, LPARAM lParam) {
  auto* data = reinterpret_cast<FindData*>(lParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  char name[128] = {};
  GetClassNameA(hwnd, name, sizeof(name));
  if (pid == data->pid && std::strcmp(name, data->className) == 0) {
    data->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

// A window's point given in twips of its design, as a screen pixel at the
// DPI the window's program runs at.
POINT At(HWND window, long xTwips, long yTwips, int dpi = 96) {
  RECT rc = {};
  GetWindowRect(window, &rc);
  return {rc.left + MulDiv(xTwips, dpi, 1440), rc.top + MulDiv(yTwips, dpi, 1440)};
}

void ClickAt(HWND window, long xTwips, long yTwips, int dpi = 96) {
  POINT p = At(window, xTwips, yTwips, dpi);
  MouseClick(p.x, p.y);
}

// Where the keyboard is in another program's window.
HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

// What a screen reader reads of another program's control (child 0: the
// control itself, else an item's 1-based number); each field empty or 0
// where the call failed. COM must be initialised.
struct Heard {
  std::wstring name;
  long role = 0;
  long state = 0;
};
Heard Hear(HWND control, long child) {
  Heard heard;
  IAccessible* accessible = nullptr;
  if (AccessibleObjectFromWindow(control, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&accessible)) !=
      S_OK)
    return heard;
  VARIANT which, answer;
  VariantInit(&which);
  VariantInit(&answer);
  which.vt = VT_I4;
  which.lVal = child;
  BSTR name = nullptr;
  if (accessible->get_accName(which, &name) == S_OK && name) heard.name = name;
  SysFreeString(name);
  if (accessible->get_accRole(which, &answer) == S_OK && answer.vt == VT_I4) heard.role = answer.lVal;
  VariantClear(&answer);
  if (accessible->get_accState(which, &answer) == S_OK && answer.vt == VT_I4) heard.state = answer.lVal;
  VariantClear(&answer);
  accessible->Release();
  return heard;
}

// A screen rectangle's colours, taken once its window has drawn.
std::vector<COLORREF> Capture(HWND window) {
  RECT rc = {};
  GetWindowRect(window, &rc);
  Sleep(300);
  return CaptureScreen(rc).pixels;
}

// Button centres and tab labels of the page windows, in twips.
constexpr long kButtonY = 3636;
constexpr long kAddX = 3186, kRemoveX = 4386, kExitX = 5586;
constexpr long kTabY = 606, kWhiteListTabX = 3186, kCookieTabX = 4446;
// The message box's left (Ok) and right button centres.
constexpr long kBoxButtonY = 1320 + 216, kBoxLeftX = 1560 + 576, kBoxRightX = 2760 + 576;

class Manager {
 public:
  Manager() = default;
  ~Manager() { Kill(); }

  bool Start(const std::string& exe, const std::string& arguments = std::string()) {
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    std::string command = Quote(exe) + (arguments.empty() ? "" : " " + arguments);
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_)) return false;
    started_ = true;
    return true;
  }
  HWND Find(const char* className) const {
    FindData data = {pi_.dwProcessId, className, nullptr};
    EnumWindows(FindOne, reinterpret_cast<LPARAM>(&data));
    return data.found;
  }
  HWND WaitFor(const char* className, bool visible = true, std::chrono::milliseconds timeout = 15s) const {
    HWND found = nullptr;
    WaitUntil(
        [&] {
          found = Find(className);
          return found && (!visible || IsWindowVisible(found));
        },
        timeout);
    return found && (!visible || IsWindowVisible(found)) ? found : nullptr;
  }
  bool WaitForExit(std::chrono::milliseconds timeout) const {
    return started_ && WaitForSingleObject(pi_.hProcess, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
  }
  bool Running() const { return started_ && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT; }
  // The most memory the program has committed for itself so far.
  std::size_t PeakMemory() const {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    return started_ && GetProcessMemoryInfo(pi_.hProcess, &counters, sizeof counters) ? counters.PeakPagefileUsage : 0;
  }
  void Kill() {
    if (!started_) return;
    if (Running()) {
      TerminateProcess(pi_.hProcess, 1);
      WaitForSingleObject(pi_.hProcess, 5000);
    }
    CloseHandle(pi_.hProcess);
    CloseHandle(pi_.hThread);
    started_ = false;
  }

 private:
  PROCESS_INFORMATION pi_ = {};
  bool started_ = false;
};

// Texts of another process's controls: the wide messages are the ones Wine
// marshals whole across processes; the ANSI bytes are got back by the code
// page the program itself uses.
std::string Narrow(const wchar_t* text) {
  char buffer[1024] = {};
  WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof(buffer), nullptr, nullptr);
  return buffer;
}

std::string ListItem(HWND list, int i) {
  wchar_t buffer[512] = {};
  SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buffer));
  return Narrow(buffer);
}

std::string ControlText(HWND control) {
  wchar_t buffer[512] = {};
  SendMessageW(control, WM_GETTEXT, 511, reinterpret_cast<LPARAM>(buffer));
  return Narrow(buffer);
}

std::vector<std::string> ListItems(HWND list) {
  std::vector<std::string> items;
  int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) items.push_back(ListItem(list, i));
  return items;
}

// Pixels in one region and not the other. (EqualRgn compares the regions'
// rectangle lists, which the window manager may band differently.)
int RegionDifference(HRGN a, HRGN b) {
  int differ = 0;
  for (int y = -2; y < 300; ++y) {
    for (int x = -2; x < 450; ++x) {
      if (!PtInRegion(a, x, y) != !PtInRegion(b, x, y)) ++differ;
    }
  }
  return differ;
}

void Screenshot(HWND window, const std::string& name) {
  if (Arg("artifacts").empty()) return;
  RECT rc = {};
  GetWindowRect(window, &rc);
  InflateRect(&rc, 8, 8);
  CreateDirectoryA(WinePath(Arg("artifacts")).c_str(), nullptr);
  SaveScreenshot(WinePath(Arg("artifacts")) + "\\" + name + ".bmp", &rc);
}

// The skinned notice the manager shows now: its title checked, answered
// with its Ok button, gone afterwards.
void AnswerNotice(const Manager& manager, const char* title, const char* screenshot = nullptr) {
  HWND box = manager.WaitFor(kMessageClass);
  ASSERT_NE(box, nullptr) << title;
  char text[64] = {};
  GetWindowTextA(box, text, sizeof(text));
  EXPECT_STREQ(text, title);
  if (screenshot) Screenshot(box, screenshot);
  ClickAt(box, kBoxLeftX, kBoxButtonY);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }, 5s)) << title;
}

class ManagerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new ScratchFolder("manager_install");
    ASSERT_TRUE(CopyFileA(WinePath(Arg("manager")).c_str(), folder_->File("VendrolixPro.exe").c_str(), FALSE));
  }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }
  void SetUp() override {
    ASSERT_FALSE(Arg("manager").empty()) << "--manager=PATH missing";
    HDC screen = GetDC(nullptr);
    ASSERT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 96);
    ReleaseDC(nullptr, screen);
    DeleteFileA(WebSite().c_str());
  }
  std::string Exe() const { return folder_->File("VendrolixPro.exe"); }
  // Starts the manager; the page of that class once it shows, else null.
  HWND StartShowing(Manager& manager, const char* pageClass, const std::string& arguments = std::string()) {
    EXPECT_TRUE(manager.Start(Exe(), arguments));
    return manager.WaitFor(pageClass);
  }
  // Exit, clicked on a page, ends the program.
  static void ExitFrom(Manager& manager, HWND page, std::chrono::milliseconds wait = std::chrono::seconds(10)) {
    ClickAt(page, kExitX, kButtonY);
    EXPECT_TRUE(manager.WaitForExit(wait));
  }
  static std::string WebSite() { return folder_->File("WebSite.dat"); }
  std::string ReadList() const { return ReadFileBytes(WebSite()).value_or("<missing>"); }

  // Types text into the keyword box and presses Add, with the mouse button
  // of that press flag (its release is the next flag up).
  void Add(HWND page, const std::string& text, DWORD down = MOUSEEVENTF_LEFTDOWN) {
    HWND edit = GetDlgItem(page, 102);
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (down == MOUSEEVENTF_LEFTDOWN) return ClickAt(page, kAddX, kButtonY);
    const POINT add = At(page, kAddX, kButtonY);
    MouseMove(add.x, add.y);
    INPUT click[2] = {{INPUT_MOUSE, {}}, {INPUT_MOUSE, {}}};
    click[0].mi.dwFlags = down;
    click[1].mi.dwFlags = down << 1;
    SendInput(2, click, sizeof(INPUT));
  }

  SettingsKey settings_;
  static ScratchFolder* folder_;
};
ScratchFolder* ManagerTest::folder_ = nullptr;

TEST_F(ManagerTest, EditsTheWhiteListAndKeepsTheFileInStep) {
  Manager manager;
  HWND page = StartShowing(manager, kWhiteListClass);
  ASSERT_NE(page, nullptr);
  HWND list = GetDlgItem(page, 101);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(ReadList(), "<missing>") << "only a save writes the list";
  EXPECT_EQ(ControlText(GetWindow(list, GW_HWNDPREV)), "White List") << "the label a screen reader names the list by";

  struct Step {
    const char* typed;
    const char* file;
    DWORD button = MOUSEEVENTF_LEFTDOWN;  // any mouse button presses Add
  };
  const Step steps[] = {
      {"  Beta  ", "1\r\nBeta\r\n"},
      {"alpha", "2\r\nalpha\r\nBeta\r\n"},
      {"beta", "3\r\nalpha\r\nBeta\r\nbeta\r\n", MOUSEEVENTF_RIGHTDOWN},
      {"Beta", "4\r\nalpha\r\nBeta\r\nbeta\r\nBeta\r\n", MOUSEEVENTF_MIDDLEDOWN},
      {"ad.example.com", "5\r\nad.example.com\r\nalpha\r\nBeta\r\nbeta\r\nBeta\r\n"},
  };
  const POINT face = At(page, 2640 + 45, 3420 + 45);  // on the Add face, off its caption
  for (const Step& step : steps) {
    Add(page, step.typed, step.button);
    EXPECT_TRUE(WaitUntil([&] { return ReadList() == step.file; }, 5s)) << step.typed << ": " << ReadList();
    EXPECT_TRUE(WaitUntil([&] { return ScreenPixel(face.x, face.y) == RGB(105, 105, 105); }, 3s)) << "Add up again";
    EXPECT_EQ(ControlText(GetDlgItem(page, 102)), "") << "keyword box emptied after adding " << step.typed;
  }
  Screenshot(page, "white_list_page");

  // Remove the selected entry; nothing stays selected.
  SendMessageA(list, LB_SETCURSEL, 1, 0);
  ClickAt(page, kRemoveX, kButtonY);
  EXPECT_TRUE(WaitUntil([&] { return ReadList() == "4\r\nad.example.com\r\nBeta\r\nbeta\r\nBeta\r\n"; }, 5s))
      << ReadList();
  EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), LB_ERR);

  while (SendMessageA(list, LB_GETCOUNT, 0, 0) > 0) {
    int before = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    SendMessageA(list, LB_SETCURSEL, 0, 0);
    ClickAt(page, kRemoveX, kButtonY);
    ASSERT_TRUE(WaitUntil([&] { return SendMessageA(list, LB_GETCOUNT, 0, 0) == before - 1; }, 5s));
  }
  EXPECT_TRUE(WaitUntil([&] { return ReadList() == "0\r\n"; }, 5s)) << ReadList();

  // Leftovers of the atomic replace never stay behind.
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((folder_->path() + "\\*").c_str(), &found);
  std::vector<std::string> names;
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (found.cFileName[0] != '.') names.push_back(found.cFileName);
    } while (FindNextFileA(find, &found));
    FindClose(find);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"VendrolixPro.exe", "WebSite.dat"}));
}

TEST_F(ManagerTest, LoadsTheListsLinesPresent) {
  struct Case {
    const char* file;
    std::vector<std::string> entries;
  };
  const Case cases[] = {
      {"2\r\nalpha\r\nbeta\r\n", {"alpha", "beta"}},
      // A count larger than the lines present; case variants keep the file's order.
      {"5\r\nBeta\r\nzeta\r\nAlpha\r\nbeta\r\n", {"Alpha", "Beta", "beta", "zeta"}},
      {"0\r\n", {}},
      {"", {}},
      {"x\r\nalpha\r\n", {}},
      {"1\r\n  spaced  \r\nnot counted\r\n", {"  spaced  "}},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(WriteFileBytes(WebSite(), c.file));
    Manager manager;
    HWND page = StartShowing(manager, kWhiteListClass);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(ListItems(GetDlgItem(page, 101)), c.entries) << c.file;
    EXPECT_EQ(ReadList(), c.file) << "loading never rewrites the file";
    ExitFrom(manager, page);
  }
}

// The notices of the white list page; none of them changes the file. A save
// that fails (here its temporary file cannot be made) is told, and the list
// on screen keeps the entry the user added.
TEST_F(ManagerTest, NoticesShowTheSkinnedBoxAndChangeNothing) {
  ASSERT_TRUE(WriteFileBytes(WebSite(), "1\r\nkeep\r\n"));
  Manager manager;
  HWND page = StartShowing(manager, kWhiteListClass);
  ASSERT_NE(page, nullptr);
  HWND list = GetDlgItem(page, 101);

  struct Case {
    const char* typed;  // nullptr: press Remove with nothing selected
    const char* title;
    const char* screenshot;
    bool saveFails;
    std::vector<std::string> listAfter;
  };
  const Case cases[] = {
      {"    ", "Add web site", "message_add", false, {"keep"}},
      {nullptr, "Remove web site", "message_remove", false, {"keep"}},
      {"added", "Save failed", "message_save_failed", true, {"added", "keep"}},
  };
  const std::string blocker = TemporaryPathFor(WebSite());
  for (const Case& c : cases) {
    if (c.saveFails) {
      ASSERT_TRUE(CreateDirectoryA(blocker.c_str(), nullptr));
    }
    if (c.typed) {
      Add(page, c.typed);
    } else {
      SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
      ClickAt(page, kRemoveX, kButtonY);
    }
    HWND box = manager.WaitFor(kMessageClass);
    ASSERT_NE(box, nullptr) << c.title;
    char title[64] = {};
    GetWindowTextA(box, title, sizeof(title));
    EXPECT_STREQ(title, c.title);
    EXPECT_EQ(GetWindow(box, GW_OWNER), page);
    EXPECT_FALSE(IsWindowEnabled(page)) << "the box is modal over its page";
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    HRGN expected = CreateRoundRectRgn(0, 0, 280, 135, 15, 15);
    EXPECT_NE(GetWindowRgn(box, region), ERROR);
    EXPECT_EQ(RegionDifference(region, expected), 0) << "the box's rounded outline";
    DeleteObject(expected);
    DeleteObject(region);

    // A tenth of the page's width right, a fifth of its height down.
    RECT pageRect, boxRect;
    GetWindowRect(page, &pageRect);
    GetWindowRect(box, &boxRect);
    EXPECT_NEAR(boxRect.left - pageRect.left, (pageRect.right - pageRect.left) / 10.0, 1.5);
    EXPECT_NEAR(boxRect.top - pageRect.top, (pageRect.bottom - pageRect.top) / 5.0, 1.5);

    // Only the left button is there: a press on the right one does nothing.
    ClickAt(box, kBoxRightX, kBoxButtonY);
    Sleep(300);
    EXPECT_TRUE(IsWindow(box));
    Screenshot(box, c.screenshot);
    ClickAt(box, kBoxLeftX, kBoxButtonY);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }, 5s)) << c.title;
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(page) != FALSE; }, 5s));
    EXPECT_EQ(ListItems(list), c.listAfter);
    EXPECT_EQ(ReadList(), "1\r\nkeep\r\n");
    if (c.saveFails) RemoveDirectoryA(blocker.c_str());
  }
  EXPECT_EQ(ControlText(GetDlgItem(page, 102)), "") << "the keyword box is emptied after the Add notice";
}

// Keys alone, as SendInput gives them to the program in front: Enter in the
// keyword box adds it, an empty one brings the notice, Esc answers it and
// the keyboard is back in the box, and Esc on the page is Exit.
TEST_F(ManagerTest, KeysAloneAddAnswerTheNoticeAndExit) {
  Manager manager;
  HWND page = StartShowing(manager, kWhiteListClass);
  ASSERT_NE(page, nullptr);
  HWND edit = GetDlgItem(page, 102);
  const auto focusOfPage = [&] { return FocusOf(page); };
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == page && focusOfPage() == edit; }, 5s));
  SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("typed"));
  KeyPress(VK_RETURN);
  EXPECT_TRUE(WaitUntil([&] { return ReadList() == "1\r\ntyped\r\n"; }, 5s)) << ReadList();

  KeyPress(VK_RETURN);
  HWND box = manager.WaitFor(kMessageClass);
  ASSERT_NE(box, nullptr) << "an empty keyword box brings the notice";
  KeyPress(VK_ESCAPE);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }, 5s));
  EXPECT_TRUE(WaitUntil([&] { return focusOfPage() == edit; }, 5s)) << "the keyboard is back in the keyword box";

  KeyPress(VK_ESCAPE);
  EXPECT_TRUE(manager.WaitForExit(10s));
  EXPECT_EQ(ReadList(), "1\r\ntyped\r\n");
}

// A list at its capacity refuses the next Add with the skinned box and writes
// nothing; with one entry removed, one more fits again.
TEST_F(ManagerTest, AFullWhiteListRefusesTheNextAdd) {
  std::string full = "32767\r\n";
  for (int i = 0; i < 32767; ++i) {
    char entry[32];
    std::snprintf(entry, sizeof(entry), "site%05d.example\r\n", i);
    full += entry;
  }
  ASSERT_TRUE(WriteFileBytes(WebSite(), full));
  settings_.Set("Status", "0");
  Manager manager;
  HWND page = StartShowing(manager, kWhiteListClass);
  ASSERT_NE(page, nullptr);
  HWND list = GetDlgItem(page, 101);
  ASSERT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 32767);
  EXPECT_EQ(ReadList(), full);

  Add(page, "one.more");
  AnswerNotice(manager, "Add web site", "message_white_list_full");
  EXPECT_EQ(ReadList(), full) << "nothing is written";
  EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 32767);
  EXPECT_EQ(ControlText(GetDlgItem(page, 102)), "one.more") << "the typed keyword stays";

  SendMessageA(list, LB_SETCURSEL, 0, 0);
  ClickAt(page, kRemoveX, kButtonY);
  EXPECT_TRUE(WaitUntil([&] { return ReadList().rfind("32766\r\nsite00001.example\r\n", 0) == 0; }, 10s));
  ClickAt(page, kAddX, kButtonY);
  EXPECT_TRUE(WaitUntil([&] { return ReadList().rfind("32767\r\none.more\r\nsite00001.example\r\n", 0) == 0; }, 10s));
  ExitFrom(manager, page);
}

// The administrator's AllowList heads the list, marked, and never reaches
// WebSite.dat; Remove refuses it. With LockWhiteList nothing is edited, not
// even a site the tray sent.
TEST_F(ManagerTest, TheAdministratorsEntriesAndLock) {
  const test::PolicyGuard policies;
  ASSERT_TRUE(test::AddPolicyEntry(policy::AllowList, "intranet.corp"));
  ASSERT_TRUE(WriteFileBytes(WebSite(), "1\r\nkeep\r\n"));
  const std::string admin = "intranet.corp  (set by your administrator)";
  {
    Manager manager;
    HWND page = StartShowing(manager, kWhiteListClass);
    ASSERT_NE(page, nullptr);
    HWND list = GetDlgItem(page, 101);
    EXPECT_EQ(ListItems(list), (std::vector<std::string>{admin, "keep"}));
    SendMessageA(list, LB_SETCURSEL, 0, 0);
    ClickAt(page, kRemoveX, kButtonY);
    AnswerNotice(manager, "Remove web site", "message_admin_entry");
    Add(page, "added");
    EXPECT_TRUE(WaitUntil([&] { return ReadList() == "2\r\nadded\r\nkeep\r\n"; }, 10s)) << ReadList();
    EXPECT_EQ(ListItems(list), (std::vector<std::string>{admin, "added", "keep"}));
    SendMessageA(list, LB_SETCURSEL, 2, 0);
    ClickAt(page, kRemoveX, kButtonY);
    EXPECT_TRUE(WaitUntil([&] { return ReadList() == "1\r\nadded\r\n"; }, 10s)) << ReadList();
    ExitFrom(manager, page);
  }

  ASSERT_TRUE(test::SetPolicyDword(policy::LockWhiteList, 1));
  settings_.Set("Status", "0");
  Manager manager;
  HWND page = StartShowing(manager, kWhiteListClass, "/AllowSite=www.example.com");
  ASSERT_NE(page, nullptr);
  HWND list = GetDlgItem(page, 101);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, 102))) << "the keyword box is greyed";
  EXPECT_EQ(ControlText(GetDlgItem(page, 102)), "") << "the sent site is not typed in";
  Screenshot(page, "white_list_locked");
  Add(page, "typed");
  SendMessageA(list, LB_SETCURSEL, 1, 0);
  ClickAt(page, kRemoveX, kButtonY);
  Sleep(500);
  ASSERT_TRUE(SendMessageA(page, WM_NULL, 0, 0) == 0) << "the page still answers";
  EXPECT_EQ(FindWindowA(kMessageClass, nullptr), nullptr) << "no notice: the buttons are gone";
  EXPECT_EQ(ListItems(list), (std::vector<std::string>{admin, "added"}));
  EXPECT_EQ(ReadList(), "1\r\nadded\r\n");
  ExitFrom(manager, page);
}

TEST_F(ManagerTest, ReleaseOutsideAButtonDoesNothingAndRestoresItsLook) {
  Manager manager;
  HWND page = StartShowing(manager, kWhiteListClass);
  ASSERT_NE(page, nullptr);
  SendMessageA(GetDlgItem(page, 102), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("never"));
  Sleep(300);

  POINT face = At(page, 2640 + 45, 3420 + 45);  // on the Add face, off its caption
  EXPECT_EQ(ScreenPixel(face.x, face.y), RGB(105, 105, 105));
  POINT add = At(page, kAddX, kButtonY);
  MouseDown(add.x, add.y);
  EXPECT_TRUE(WaitUntil([&] { return ScreenPixel(face.x, face.y) == RGB(96, 96, 96); }, 3s)) << "pressed look";
  Screenshot(page, "white_list_button_pressed");
  POINT away = At(page, 1200, 3700);
  MouseMove(away.x, away.y);
  MouseUp(away.x, away.y);
  EXPECT_TRUE(WaitUntil([&] { return ScreenPixel(face.x, face.y) == RGB(105, 105, 105); }, 3s)) << "normal look";
  Sleep(300);
  EXPECT_EQ(SendMessageA(GetDlgItem(page, 101), LB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(ReadList(), "<missing>") << "nothing was saved";
}

TEST_F(ManagerTest, StatusPicksTheFirstPage) {
  struct Case {
    const char* status;  // nullptr: value missing
    const char* shown;
    const char* absent;
  };
  const Case cases[] = {
      {"1", kCookieClass, kWhiteListClass},
      {"0", kWhiteListClass, kCookieClass},
      {nullptr, kWhiteListClass, kCookieClass},
      {"7", kWhiteListClass, kCookieClass},
      {"one", kWhiteListClass, kCookieClass},
  };
  for (const Case& c : cases) {
    if (c.status) {
      settings_.Set("Status", c.status);
    } else {
      settings_.Remove("Status");
    }
    Manager manager;
    HWND page = StartShowing(manager, c.shown);
    ASSERT_NE(page, nullptr) << (c.status ? c.status : "(missing)");
    EXPECT_EQ(manager.Find(c.absent), nullptr);
    EXPECT_EQ(settings_.Get("Status"), c.status ? std::optional<std::string>(c.status) : std::nullopt)
        << "Status is never written";
    if (std::strcmp(c.shown, kCookieClass) == 0) Screenshot(page, "cookie_page");
    ExitFrom(manager, page);
  }
}

// The tray's request: Status "0" and the site on the command line, typed
// into the keyword box and selected there, the keyboard in the box; nothing
// is listed or written before the person's Add. A site already listed has
// its entry selected and in view. Only a host is taken, and never from the
// settings, which others can write: a site there is taken away unread.
TEST_F(ManagerTest, ASiteTheTraySentWaitsInTheKeywordBoxForAdd) {
  const std::string longest = std::string(251, 'a') + ".com";
  const std::string many = [] {
    std::string list = "40\r\n";
    for (int i = 10; i < 50; ++i) list += "site" + std::to_string(i) + ".example\r\n";
    return list;
  }();
  struct Case {
    std::string site, stray, before;
    std::string box;    // the keyword box's text at the start
    int selected;       // the list's selection at the start, -1: none
    std::string added;  // the file after a press of Add, "": Add not pressed
  };
  const Case cases[] = {
      {"www.example.com", "", "2\r\nalpha\r\nzeta\r\n", "www.example.com", -1,
       "3\r\nalpha\r\nwww.example.com\r\nzeta\r\n"},
      {"www.example.com", "", "1\r\nWWW.EXAMPLE.COM\r\n", "www.example.com", 0, ""},
      {longest, "", "0\r\n", longest, -1, "1\r\n" + longest + "\r\n"},
      {"site49.example", "", many, "site49.example", 39, ""},
      {"no site", "", "0\r\n", "", -1, ""},
      {"http", "", "0\r\n", "", -1, ""},
      {"com", "", "0\r\n", "", -1, ""},
      {"", "www.example.com", "0\r\n", "", -1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.site.substr(0, 20) + " / " + c.stray);
    ASSERT_TRUE(WriteFileBytes(WebSite(), c.before));
    settings_.Set("Status", "0");
    if (!c.stray.empty()) settings_.Set("AllowSite", c.stray);
    Manager manager;
    HWND page = StartShowing(manager, kWhiteListClass, c.site.empty() ? "" : "/AllowSite=" + c.site);
    ASSERT_NE(page, nullptr);
    HWND list = GetDlgItem(page, 101);
    HWND edit = GetDlgItem(page, 102);
    EXPECT_TRUE(WaitUntil([&] { return SendMessageA(list, LB_GETCURSEL, 0, 0) == c.selected; }, 5s));
    EXPECT_TRUE(WaitUntil([&] { return !settings_.Get("AllowSite").has_value(); }, 5s)) << "taken away";
    EXPECT_EQ(ControlText(edit), c.box);
    if (!c.box.empty()) {
      const DWORD selection = static_cast<DWORD>(SendMessageA(edit, EM_GETSEL, 0, 0));
      EXPECT_EQ(selection, MAKELONG(0, c.box.size())) << "the whole text selected";
      EXPECT_TRUE(WaitUntil([&] { return FocusOf(page) == edit; }, 5s)) << "the keyboard in the box";
    }
    if (c.selected >= 0) {
      RECT item{}, view{};
      SendMessageA(list, LB_GETITEMRECT, c.selected, reinterpret_cast<LPARAM>(&item));
      GetClientRect(list, &view);
      EXPECT_TRUE(item.top >= 0 && item.bottom <= view.bottom) << "the entry is in view";
    }
    EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), std::stoi(c.before)) << "nothing listed before Add";
    EXPECT_EQ(ReadList(), c.before) << "nothing written before Add";
    if (!c.added.empty()) {
      ClickAt(page, kAddX, kButtonY);
      EXPECT_TRUE(WaitUntil([&] { return ReadList() == c.added; }, 10s)) << ReadList();
      EXPECT_EQ(ControlText(edit), "");
    }
    ExitFrom(manager, page);
  }
}

TEST_F(ManagerTest, TabsSwitchPagesInPlaceAndExitEndsBoth) {
  settings_.Set("Status", "1");
  ASSERT_TRUE(WriteFileBytes(WebSite(), "1\r\nfirst\r\n"));
  Manager manager;
  HWND cookie = StartShowing(manager, kCookieClass);
  ASSERT_NE(cookie, nullptr);

  // The start position: 20 % / 30 % of the 1280 x 1024 screen.
  RECT rc;
  GetWindowRect(cookie, &rc);
  EXPECT_EQ(rc.left, 256);
  EXPECT_NEAR(rc.top, 307, 1);

  // The own tab changes nothing.
  ClickAt(cookie, kCookieTabX, kTabY);
  Sleep(300);
  EXPECT_EQ(manager.Find(kWhiteListClass), nullptr);
  EXPECT_TRUE(IsWindowVisible(cookie));

  SetWindowPos(cookie, nullptr, 100, 120, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ClickAt(cookie, kWhiteListTabX, kTabY);
  HWND white = manager.WaitFor(kWhiteListClass);
  ASSERT_NE(white, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(cookie); }, 5s));
  EXPECT_TRUE(IsWindow(cookie)) << "the page stays loaded";
  GetWindowRect(white, &rc);
  EXPECT_EQ(rc.left, 100);
  EXPECT_EQ(rc.top, 120);

  // Change the white list page, move it, switch away and back: same place,
  // same contents, the file not read again.
  SendMessageA(GetDlgItem(white, 101), LB_SETCURSEL, 0, 0);
  SendMessageA(GetDlgItem(white, 102), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("typed"));
  ASSERT_TRUE(WriteFileBytes(WebSite(), "1\r\nchanged on disk\r\n"));
  SetWindowPos(white, nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ClickAt(white, kCookieTabX, kTabY);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(cookie) && !IsWindowVisible(white); }, 5s));
  GetWindowRect(cookie, &rc);
  EXPECT_EQ(rc.left, 300);
  EXPECT_EQ(rc.top, 200);
  ClickAt(cookie, kWhiteListTabX, kTabY);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(white) && !IsWindowVisible(cookie); }, 5s));
  EXPECT_EQ(ListItems(GetDlgItem(white, 101)), std::vector<std::string>{"first"});
  EXPECT_EQ(SendMessageA(GetDlgItem(white, 101), LB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(ControlText(GetDlgItem(white, 102)), "typed");

  ClickAt(white, kExitX, kButtonY);
  EXPECT_TRUE(manager.WaitForExit(10s)) << "Exit ends the program with both pages loaded";
}

TEST_F(ManagerTest, DraggingThePictureMovesTheWindowAndTheListDoesNot) {
  Manager manager;
  HWND page = StartShowing(manager, kWhiteListClass);
  ASSERT_NE(page, nullptr);
  Sleep(300);
  RECT before, after;
  GetWindowRect(page, &before);
  POINT list = At(page, 2000, 1500);
  MouseDown(list.x, list.y);
  MouseMove(list.x + 40, list.y + 30);
  MouseUp(list.x + 40, list.y + 30);
  Sleep(300);
  GetWindowRect(page, &after);
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(after.top, before.top);

  POINT grip = At(page, 300, 3700);  // bare picture below the page frame
  MouseDown(grip.x, grip.y);
  for (int step = 1; step <= 4; ++step) MouseMove(grip.x + 10 * step, grip.y + 8 * step);
  MouseUp(grip.x + 40, grip.y + 32);
  EXPECT_TRUE(WaitUntil(
      [&] {
        GetWindowRect(page, &after);
        return after.left == before.left + 40 && after.top == before.top + 32;
      },
      3s))
      << after.left - before.left << "," << after.top - before.top;
  ExitFrom(manager, page);
}

TEST_F(ManagerTest, CloseFromTheTaskbarEndsTheProgram) {
  Manager manager;
  HWND white = StartShowing(manager, kWhiteListClass);
  ASSERT_NE(white, nullptr);
  EXPECT_NE(GetWindowLongA(white, GWL_STYLE) & WS_SYSMENU, 0);
  ClickAt(white, kCookieTabX, kTabY);
  HWND cookie = manager.WaitFor(kCookieClass);
  ASSERT_NE(cookie, nullptr);
  PostMessageA(cookie, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(manager.WaitForExit(10s)) << "no hidden page may be left running";
}

TEST_F(ManagerTest, SecondStartEndsSilently) {
  Manager first;
  ASSERT_TRUE(first.Start(Exe()));
  HWND page = first.WaitFor(kWhiteListClass);
  ASSERT_NE(page, nullptr);
  Manager second;
  ASSERT_TRUE(second.Start(Exe()));
  EXPECT_TRUE(second.WaitForExit(10s));
  EXPECT_EQ(second.Find(kWhiteListClass), nullptr);
  EXPECT_TRUE(first.Running());
  ClickAt(page, kExitX, kButtonY);
  EXPECT_TRUE(first.WaitForExit(10s));
}

TEST_F(ManagerTest, PagesAreCutToTheirRoundedShape) {
  settings_.Set("Status", "1");
  Manager manager;
  HWND cookie = StartShowing(manager, kCookieClass);
  ASSERT_NE(cookie, nullptr);
  ClickAt(cookie, kWhiteListTabX, kTabY);
  HWND white = manager.WaitFor(kWhiteListClass);
  ASSERT_NE(white, nullptr);
  for (HWND page : {white, cookie}) {
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(page, region), ERROR);
    // The outline of CreateRoundRectRgn(0, 0, 424, 269, 15, 15); the system
    // leaves such a region's last column and row out of its box.
    HRGN expected = CreateRoundRectRgn(0, 0, 424, 269, 15, 15);
    EXPECT_EQ(RegionDifference(region, expected), 0);
    DeleteObject(expected);
    RECT box = {};
    GetRgnBox(region, &box);
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.top, 0);
    EXPECT_EQ(box.right, 423);
    EXPECT_EQ(box.bottom, 268);
    EXPECT_FALSE(PtInRegion(region, 1, 1)) << "rounded corner";
    EXPECT_TRUE(PtInRegion(region, 7, 1));
    EXPECT_TRUE(PtInRegion(region, 212, 134));
    DeleteObject(region);
  }
  ExitFrom(manager, white);
}


// ---- Cookie manager page -----------------------------------------------------

constexpr const char* kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr long kOptNsX = 4986, kOptNsY = 950, kOptIeX = 3786;
constexpr long kCheckX = 546, kCheckY = 3066;
constexpr long kApplyX = 4386, kOkX = 3186;

std::vector<std::string> ChildTexts(HWND parent) {
  std::vector<std::string> texts;
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    texts.push_back(ControlText(child));
  return texts;
}

class CookiePageTest : public ManagerTest {
 protected:
  void SetUp() override {
    ManagerTest::SetUp();
    appData_ = folder_->path() + "\\appdata";
    RunProcess("cmd /c rmdir /s /q " + Quote(appData_), 30s);
    CreateDirectoryA(appData_.c_str(), nullptr);
    // The prefix's own store, emptied; its Low store made for the test.
    ASSERT_EQ(StoreCookies("clear").exitCode, 0u);
    low_ = StoreFolder() + "\\Low";
    CreateDirectoryA(low_.c_str(), nullptr);
    user_ = StoreUser();
    savedAppData_ = GetText(HKEY_CURRENT_USER, kShellFolders, "AppData");
    SetText(HKEY_CURRENT_USER, kShellFolders, "AppData", appData_);
    for (const char* name : {"IECookieURL.dat", "NSCookieURL.dat"}) DeleteFileA(folder_->File(name).c_str());
    settings_.Set("Status", "1");
  }
  void TearDown() override {
    if (savedAppData_) SetText(HKEY_CURRENT_USER, kShellFolders, "AppData", *savedAppData_);
    StoreCookies("clear");
    RunProcess("cmd /c rmdir /s /q " + Quote(low_), 30s);
  }
  // A persistent cookie of each of these hosts, made as a browser makes it.
  void Cookies(const std::vector<std::string>& hosts) {
    std::string arguments = "set";
    for (const std::string& host : hosts) arguments += " " + PersistentCookie("http://" + host + "/", "n=1");
    ASSERT_EQ(StoreCookies(arguments).exitCode, 0u);
  }
  // The entry the page lists for a host.
  std::string Entry(const std::string& host) const { return user_ + "@" + host; }
  std::string Keep(const char* name) const { return ReadFileBytes(folder_->File(name)).value_or("<missing>"); }
  // A Netscape profile folder below the default root, with or without its cookie file.
  std::string Profile(const std::string& name, const std::optional<std::string>& cookies) {
    std::string path = appData_;
    for (const char* part : {"\\Mozilla", "\\Profiles", "\\default"}) {
      path += part;
      CreateDirectoryA(path.c_str(), nullptr);
    }
    path += "\\" + name;
    CreateDirectoryA(path.c_str(), nullptr);
    if (cookies) WriteFileBytes(path + "\\Cookies.txt", *cookies);
    return path;
  }
  // Whether Netscape is installed (NSExist) and which view the page opens
  // on (OptionCookie: "1" Netscape's), as the settings say.
  void SetNetscape(const char* installed, const char* view) {
    settings_.Set("NSExist", installed);
    settings_.Set("OptionCookie", view);
  }
  HWND StartOnCookiePage(Manager& manager, std::chrono::milliseconds timeout = 15s) {
    if (!manager.Start(Exe())) return nullptr;
    HWND page = manager.WaitFor(kCookieClass, true, timeout);
    // Input reaches the page once it is the foreground window.
    if (page) WaitUntil([&] { return GetForegroundWindow() == page; }, 3s);
    if (page) Sleep(300);
    return page;
  }
  static HWND List(HWND page) { return GetDlgItem(page, 201); }
  static bool Checked(HWND page, int id) { return SendMessageA(GetDlgItem(page, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
  static std::vector<std::pair<std::string, bool>> Shown(HWND page) {
    std::vector<std::pair<std::string, bool>> shown;
    HWND list = List(page);
    int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) shown.push_back({ListItem(list, i), SendMessageA(list, LB_GETITEMDATA, i, 0) == 1});
    return shown;
  }
  // A screen point x pixels into entry i of the list, which must be in view.
  static POINT EntryPoint(HWND page, int i, int x) {
    RECT item = {};
    EXPECT_NE(SendMessageA(List(page), LB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&item)), LB_ERR);
    POINT p = {item.left + x, (item.top + item.bottom) / 2};
    ClientToScreen(List(page), &p);
    return p;
  }
  // A real click on the check box of entry i; waits until the tick changed.
  static void TickBox(HWND page, int i) {
    LRESULT before = SendMessageA(List(page), LB_GETITEMDATA, i, 0);
    POINT p = EntryPoint(page, i, 6);
    MouseClick(p.x, p.y);
    EXPECT_TRUE(WaitUntil([&] { return SendMessageA(List(page), LB_GETITEMDATA, i, 0) != before; }, 3s))
        << "entry " << i << " not toggled";
  }

  std::string low_;
  std::string user_;
  std::string appData_;
  std::optional<std::string> savedAppData_;
};

// Sites of the store, one with two paths, and of the Low store: one from
// whole records, one damaged file that still has an old-style name, and a
// damaged one that has none.
TEST_F(CookiePageTest, ListsIeCookiesTicksTheKeepListAndApplies) {
  Cookies({"gamma", "beta", "alpha"});
  ASSERT_EQ(StoreCookies("set " + PersistentCookie("http://alpha/x/", "p=2; path=/x")).exitCode, 0u);
  ASSERT_TRUE(WriteFileBytes(low_ + "\\A1B2C3D4.txt", "n\nv\ndelta/\n0\n1\n2\n3\n4\n*\n"));
  ASSERT_TRUE(WriteFileBytes(low_ + "\\" + Entry("epsilon") + "[1].txt", "damaged"));
  ASSERT_TRUE(WriteFileBytes(low_ + "\\DAMAGED1.txt", "damaged"));
  ASSERT_TRUE(WriteFileBytes(folder_->File("IECookieURL.dat"), "#" + Entry("beta") + "##" + ToUpper(Entry("alpha")) + "#\r\n"));
  Manager manager;
  HWND page = StartOnCookiePage(manager);
  ASSERT_NE(page, nullptr);
  std::vector<std::pair<std::string, bool>> shown = Shown(page);
  EXPECT_EQ(shown, (std::vector<std::pair<std::string, bool>>{{Entry("alpha"), true},
                                                              {Entry("beta"), true},
                                                              {Entry("delta"), false},
                                                              {Entry("epsilon"), false},
                                                              {Entry("gamma"), false}}));
  ASSERT_EQ(shown.size(), 5u);
  EXPECT_TRUE(Checked(page, 202)) << "IE/AOL view";
  EXPECT_FALSE(Checked(page, 204));
  Screenshot(page, "cookie_page_ticked");

  // Untick beta, tick delta, switch auto-clean on; Apply.
  TickBox(page, 1);
  TickBox(page, 2);
  ClickAt(page, kCheckX, kCheckY);
  EXPECT_TRUE(WaitUntil([&] { return Checked(page, 204); }, 3s));
  ClickAt(page, kApplyX, kButtonY);
  const std::string saved = "#" + Entry("alpha") + "##" + Entry("delta") + "#\r\n";
  EXPECT_TRUE(WaitUntil([&] { return Keep("IECookieURL.dat") == saved; }, 5s))
      << Keep("IECookieURL.dat");
  EXPECT_EQ(settings_.Get("AutoClean"), "1");
  EXPECT_EQ(settings_.Get("OptionCookie"), "1");
  EXPECT_EQ(settings_.Get("NSAutoClean"), std::nullopt);

  // Nothing ticked: the list is a bare line end.
  for (int i = 0; i < 5; ++i) {
    if (SendMessageA(List(page), LB_GETITEMDATA, i, 0) == 1) TickBox(page, i);
  }
  SetFocus(nullptr);
  ClickAt(page, kApplyX, kButtonY);
  EXPECT_TRUE(WaitUntil([&] { return Keep("IECookieURL.dat") == "\r\n"; }, 5s)) << Keep("IECookieURL.dat");

  // Ok with a save that fails: the notice, and the page stays with its tick.
  const std::string blocker = TemporaryPathFor(folder_->File("IECookieURL.dat"));
  ASSERT_TRUE(CreateDirectoryA(blocker.c_str(), nullptr));
  TickBox(page, 2);
  ClickAt(page, kOkX, kButtonY);
  AnswerNotice(manager, "Save failed");
  RemoveDirectoryA(blocker.c_str());
  EXPECT_TRUE(manager.Running());
  EXPECT_EQ(SendMessageA(List(page), LB_GETITEMDATA, 2, 0), 1);
  EXPECT_EQ(Keep("IECookieURL.dat"), "\r\n");
  ExitFrom(manager, page);
}

TEST_F(CookiePageTest, UnsavedTicksSurviveATabSwitchAndExitDiscardsThem) {
  Cookies({"one", "two"});
  Manager manager;
  HWND page = StartOnCookiePage(manager);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(Keep("IECookieURL.dat"), "<missing>") << "only a save writes a keep list";
  // A click on the text selects without ticking; Space ticks the entry.
  POINT text = EntryPoint(page, 1, 120);
  MouseClick(text.x, text.y);
  EXPECT_TRUE(WaitUntil([&] { return SendMessageA(List(page), LB_GETCURSEL, 0, 0) == 1; }, 3s));
  EXPECT_EQ(SendMessageA(List(page), LB_GETITEMDATA, 1, 0), 0);
  KeyPress(VK_SPACE);
  ASSERT_TRUE(WaitUntil([&] { return SendMessageA(List(page), LB_GETITEMDATA, 1, 0) == 1; }, 3s));
  ClickAt(page, kWhiteListTabX, kTabY);
  HWND white = manager.WaitFor(kWhiteListClass);
  ASSERT_NE(white, nullptr);
  ClickAt(white, kCookieTabX, kTabY);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(page) != FALSE; }, 5s));
  EXPECT_EQ(SendMessageA(List(page), LB_GETITEMDATA, 1, 0), 1);
  ExitFrom(manager, page);
  EXPECT_EQ(Keep("IECookieURL.dat"), "<missing>");
  EXPECT_EQ(ReadList(), "<missing>") << "the white list page was only read";
  EXPECT_EQ(settings_.Get("AutoClean"), std::nullopt);
}

// Keys alone: Tab reaches each control once in the page's order, each heard
// by its name; Space ticks a cookie, Ctrl+Tab goes to the other page and
// back, and Enter on the focused Ok saves the tick and ends the program.
// Every stop's focus is seen; a screen reader hears names, page tabs and
// ticks.
TEST_F(CookiePageTest, KeysAloneReachEveryControlTickACookieAndSaveIt) {
  Cookies({"alpha", "beta"});
  Manager manager;
  HWND page = StartOnCookiePage(manager);
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return FocusOf(page) == List(page); }, 5s)) << "the page opens in its list";
  HWND ok = GetDlgItem(page, 410);
  ASSERT_NE(ok, nullptr);
  KeyPress(VK_HOME);
  KeyPress(VK_SPACE);
  ASSERT_TRUE(WaitUntil([&] { return SendMessageA(List(page), LB_GETITEMDATA, 0, 0) == 1; }, 3s));

  struct Stop {
    int id;
    const char* name;  // the window text assistive technology reads
    RECT label;        // twips; where a box the system draws without text shows focus
  };
  const Stop order[] = {{204, "Auto-Clean IE/AOL Cookies When IE/AOL Exists.", {720, 2988, 4000, 3240}},
                        {410, "Ok", {}},
                        {411, "Apply", {}},
                        {412, "Exit", {}},
                        {432, "White List", {}},
                        {433, "Cookie Manager", {}},
                        {202, "IE/AOL", {3960, 840, 4692, 1032}},
                        {201, nullptr, {}}};
  // Each stop shows where the keyboard is: around the control (and its
  // label) the page looks different from when the keyboard was elsewhere.
  RECT pageRect = {};
  GetWindowRect(page, &pageRect);
  const auto region = [&](const Stop& stop) {
    RECT area = {};
    GetWindowRect(GetDlgItem(page, stop.id), &area);
    OffsetRect(&area, -pageRect.left, -pageRect.top);
    const RECT label = {MulDiv(stop.label.left, 96, 1440), MulDiv(stop.label.top, 96, 1440),
                        MulDiv(stop.label.right, 96, 1440), MulDiv(stop.label.bottom, 96, 1440)};
    if (!IsRectEmpty(&label)) UnionRect(&area, &area, &label);
    return area;
  };
  const auto pixels = [&](const std::vector<COLORREF>& capture, const RECT& area) {
    std::vector<COLORREF> inside;
    const int width = pageRect.right - pageRect.left;
    for (int y = area.top; y < area.bottom; ++y) {
      for (int x = area.left; x < area.right; ++x) inside.push_back(capture[static_cast<std::size_t>(y) * width + x]);
    }
    return inside;
  };
  std::vector<COLORREF> elsewhere = Capture(page);  // the keyboard in the list
  for (const Stop& stop : order) {
    KeyPress(VK_TAB);
    HWND expected = GetDlgItem(page, stop.id);
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(page) == expected; }, 3s))
        << "Tab to control " << stop.id << ", found " << GetDlgCtrlID(FocusOf(page));
    if (stop.name) {
      EXPECT_EQ(ControlText(expected), stop.name);
    }
    const std::vector<COLORREF> here = Capture(page);
    EXPECT_NE(pixels(here, region(stop)), pixels(elsewhere, region(stop))) << "focus on " << stop.id << " is not seen";
    if (stop.id == 204) elsewhere = here;  // for the list's own stop at the end
  }
  EXPECT_EQ(ControlText(GetWindow(List(page), GW_HWNDPREV)), "Check the cookies you want to keep.")
      << "the label a screen reader names the list by";

  // The screen reader's view: names, the page tab's role, the entries' ticks.
  const win32::ScopedCoInit com;
  const struct {
    HWND control;
    long child;
    const wchar_t* name;  // nullptr: not asked
    long role;            // 0: not asked
    long stateSet, stateClear;
  } expected[] = {
      {ok, CHILDID_SELF, L"Ok", 0, 0, 0},  // its role is the system's (Wine's says "client" for every button)
      {GetDlgItem(page, 433), CHILDID_SELF, L"Cookie Manager", ROLE_SYSTEM_PAGETAB, STATE_SYSTEM_SELECTED, 0},
      {GetDlgItem(page, 432), CHILDID_SELF, L"White List", ROLE_SYSTEM_PAGETAB, 0, STATE_SYSTEM_SELECTED},
      {List(page), 1, nullptr, 0, STATE_SYSTEM_CHECKED, 0},
      {List(page), 2, nullptr, 0, 0, STATE_SYSTEM_CHECKED},
  };
  for (const auto& e : expected) {
    SCOPED_TRACE("control " + std::to_string(GetDlgCtrlID(e.control)) + " item " + std::to_string(e.child));
    const Heard heard = Hear(e.control, e.child);
    ASSERT_NE(heard.state, 0) << "nothing heard";
    if (e.name) {
      EXPECT_EQ(heard.name, e.name);
    }
    if (e.role) {
      EXPECT_EQ(heard.role, e.role);
    }
    EXPECT_EQ(heard.state & (e.stateSet | e.stateClear), e.stateSet);
  }

  KeyPress(VK_TAB, {VK_CONTROL});
  HWND white = manager.WaitFor(kWhiteListClass);
  ASSERT_NE(white, nullptr) << "Ctrl+Tab shows the other page";
  EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == white; }, 5s));
  KeyPress(VK_TAB, {VK_CONTROL, VK_SHIFT});
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == page && FocusOf(page) == List(page); }, 5s))
      << "Ctrl+Shift+Tab comes back, the keyboard where it was";

  KeyPress(VK_TAB);
  KeyPress(VK_TAB);
  ASSERT_TRUE(WaitUntil([&] { return FocusOf(page) == ok; }, 3s));
  Screenshot(page, "cookie_page_keyboard_focus");
  KeyPress(VK_RETURN);
  EXPECT_TRUE(manager.WaitForExit(10s));
  EXPECT_EQ(Keep("IECookieURL.dat"), "#" + Entry("alpha") + "#\r\n");
}

// The administrator's cleaning and kept hosts in a real page: the auto-clean
// box shows the enforced state greyed; a kept host's entry is ticked and
// greyed, heard as checked and read-only, and a click leaves it; Ok writes the
// user's own ticks and leaves the user's own switch as it was.
TEST_F(CookiePageTest, TheAdministratorsCleaningAndKeptHostsAreShownGreyed) {
  const PolicyGuard policies;
  ASSERT_TRUE(SetPolicyDword(policy::AutoClean, 1));
  ASSERT_TRUE(AddPolicyEntry(policy::KeepCookies, "alpha"));
  Cookies({"alpha", "beta"});
  settings_.Set("AutoClean", "0");
  Manager manager;
  HWND page = StartOnCookiePage(manager);
  ASSERT_NE(page, nullptr);
  EXPECT_TRUE(Checked(page, 204));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, 204))) << "the enforced switch is greyed";
  ASSERT_EQ(Shown(page).size(), 2u);
  EXPECT_EQ(SendMessageA(List(page), LB_GETITEMDATA, 0, 0), 2) << "alpha is the administrator's";
  const POINT box = EntryPoint(page, 0, 6);
  MouseClick(box.x, box.y);
  Sleep(300);
  EXPECT_EQ(SendMessageA(List(page), LB_GETITEMDATA, 0, 0), 2) << "a click leaves it";
  {
    const win32::ScopedCoInit com;
    EXPECT_EQ(Hear(List(page), 1).state & (STATE_SYSTEM_CHECKED | STATE_SYSTEM_READONLY),
              STATE_SYSTEM_CHECKED | STATE_SYSTEM_READONLY);
  }
  Screenshot(page, "cookie_page_enforced");
  TickBox(page, 1);
  ClickAt(page, kOkX, kButtonY);
  EXPECT_TRUE(manager.WaitForExit(10s));
  EXPECT_EQ(Keep("IECookieURL.dat"), "#" + Entry("beta") + "#\r\n");
  EXPECT_EQ(settings_.Get("AutoClean"), "0");
}

TEST_F(CookiePageTest, NetscapeWithoutNetscapeShowsTheBoxAndSavesTheIeView) {
  Cookies({"one"});
  SetNetscape("0", "0");
  Manager manager;
  HWND page = StartOnCookiePage(manager);
  ASSERT_NE(page, nullptr);
  EXPECT_TRUE(Checked(page, 202)) << "IE/AOL view forced without Netscape";
  TickBox(page, 0);
  ClickAt(page, kOptNsX, kOptNsY);
  AnswerNotice(manager, "No Netscape");
  EXPECT_TRUE(WaitUntil([&] { return Keep("IECookieURL.dat") == "#" + Entry("one") + "#\r\n"; }, 5s)) << Keep("IECookieURL.dat");
  EXPECT_EQ(settings_.Get("AutoClean"), "0");
  EXPECT_EQ(settings_.Get("OptionCookie"), "1");
  EXPECT_TRUE(Checked(page, 202));
  EXPECT_FALSE(Checked(page, 203));
  EXPECT_EQ(Shown(page), (std::vector<std::pair<std::string, bool>>{{Entry("one"), true}}));
  ExitFrom(manager, page);
}

TEST_F(CookiePageTest, NetscapeProfileFoundBySearchListsTheFirst1000Lines) {
  std::string lines = "# Netscape HTTP Cookie File\r\n";
  for (int i = 1; i < 1500; ++i) lines += "site" + std::to_string(i) + ".com\tFALSE\t/\tFALSE\t0\tn\tv\r\n";
  Profile("abc.slt", std::nullopt);
  Profile("plain", std::string("other.com\tTRUE\r\n"));
  Profile("xyz.slt", lines);
  Cookies({"one"});
  SetNetscape("1", "1");
  Manager manager;
  HWND page = StartOnCookiePage(manager);
  ASSERT_NE(page, nullptr);
  std::optional<std::string> stored = settings_.Get("PathNSCookie");
  ASSERT_TRUE(stored.has_value());
  std::string expectedTail = "\\MOZILLA\\PROFILES\\DEFAULT\\XYZ.SLT";
  std::string upper = *stored;
  for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(upper.substr(upper.size() - std::min(upper.size(), expectedTail.size())), expectedTail) << *stored;

  TickBox(page, 0);
  ClickAt(page, kOptNsX, kOptNsY);
  EXPECT_TRUE(WaitUntil([&] { return Checked(page, 203); }, 5s));
  EXPECT_TRUE(WaitUntil([&] { return Keep("IECookieURL.dat") == "#" + Entry("one") + "#\r\n"; }, 5s)) << "the IE view left is saved";
  EXPECT_EQ(settings_.Get("OptionCookie"), "0");
  EXPECT_EQ(SendMessageA(List(page), LB_GETCOUNT, 0, 0), 999) << "lines 2 to 1000 hold one domain each";
  EXPECT_EQ(ListItem(List(page), 0), "site1.com");
  TickBox(page, 0);
  ClickAt(page, kCheckX, kCheckY);
  ClickAt(page, kOkX, kButtonY);
  EXPECT_TRUE(manager.WaitForExit(10s)) << "Ok applies and ends";
  EXPECT_EQ(Keep("NSCookieURL.dat"), "#site1.com#\r\n");
  EXPECT_EQ(settings_.Get("NSAutoClean"), "1");
  EXPECT_EQ(settings_.Get("OptionCookie"), "0");
}

// The stored profile and its file are input others can write: a network
// path is not listed from, though the same folder by its local path is, and
// a file past the bound is not read in, whatever it holds.
TEST_F(CookiePageTest, NetscapeViewListsOnlyALocalProfileAndACookieFileWithinTheBound) {
  const UncShare share("vendrolix-host", "profiles");
  ASSERT_FALSE(share.local().empty());
  const std::string profile = share.local() + "\\p.slt";
  ASSERT_TRUE(CreateDirectoryA(profile.c_str(), nullptr));
  const std::string file = profile + "\\Cookies.txt";
  const struct {
    std::string stored;
    LONGLONG size;  // 0: one cookie's line; else that many bytes of one line
    LRESULT listed;
  } cases[] = {
      {profile, 0, 1},
      {share.unc() + "\\p.slt", 0, 0},
      {profile, 300LL << 20, 0},
  };
  SetNetscape("1", "0");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored + ", " + std::to_string(c.size) + " bytes");
    ASSERT_TRUE(WriteFileBytes(file, "found.com\tTRUE\r\n"));
    if (c.size > 0) {
      // Sparse: a line of zero bytes without a line end.
      win32::UniqueFile grown(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
      LARGE_INTEGER at{};
      at.QuadPart = c.size;
      ASSERT_TRUE(grown && SetFilePointerEx(grown.get(), at, nullptr, FILE_BEGIN) && SetEndOfFile(grown.get()));
    }
    settings_.Set("PathNSCookie", c.stored);
    Manager manager;
    HWND page = StartOnCookiePage(manager);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(SendMessageA(List(page), LB_GETCOUNT, 0, 0), c.listed);
    const std::size_t peak = manager.PeakMemory();
    EXPECT_GT(peak, 0u);
    EXPECT_LT(peak, std::size_t{64} << 20);
    ExitFrom(manager, page);
  }
}

TEST_F(CookiePageTest, PathDialogCancelRefusalAndAcceptance) {
  std::string profile = folder_->path() + "\\elsewhere.slt";
  CreateDirectoryA(profile.c_str(), nullptr);
  ASSERT_TRUE(WriteFileBytes(profile + "\\Cookies.txt", "found.com\tTRUE\r\n"));
  Cookies({"one"});
  SetNetscape("1", "1");
  Manager manager;
  HWND page = StartOnCookiePage(manager);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(settings_.Get("PathNSCookie"), std::nullopt);

  // Cancel: the IE view is saved and stays.
  ClickAt(page, kOptNsX, kOptNsY);
  HWND dialog = manager.WaitFor("VendrolixProCookiePath");
  ASSERT_NE(dialog, nullptr);
  char caption[64] = {};
  GetWindowTextA(dialog, caption, sizeof(caption));
  EXPECT_STREQ(caption, "Path of Cookie File");
  Screenshot(dialog, "path_dialog");
  PostMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 5s));
  EXPECT_TRUE(WaitUntil([&] { return Keep("IECookieURL.dat") == "\r\n"; }, 5s)) << Keep("IECookieURL.dat");
  EXPECT_EQ(settings_.Get("AutoClean"), "0");
  EXPECT_EQ(settings_.Get("OptionCookie"), "1");
  EXPECT_TRUE(Checked(page, 202));

  // "slt" is refused with the system's message box; the dialog stays.
  ClickAt(page, kOptNsX, kOptNsY);
  dialog = manager.WaitFor("VendrolixProCookiePath");
  ASSERT_NE(dialog, nullptr);
  SendMessageA(GetDlgItem(dialog, 301), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("slt"));
  PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  HWND refusal = manager.WaitFor("#32770");
  ASSERT_NE(refusal, nullptr);
  std::vector<std::string> texts = ChildTexts(refusal);
  EXPECT_NE(std::find(texts.begin(), texts.end(), "The path of Cookie file should end with .slt"), texts.end());
  GetWindowTextA(refusal, caption, sizeof(caption));
  EXPECT_STREQ(caption, "VendrolixPro");
  PostMessageA(refusal, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(refusal); }, 5s));
  EXPECT_TRUE(IsWindow(dialog));

  // Closed by its title bar with the refused text still in it: that is
  // Cancel, and the text is not stored.
  PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 5s));
  EXPECT_TRUE(WaitUntil([&] { return Checked(page, 202); }, 5s));
  EXPECT_EQ(settings_.Get("PathNSCookie"), std::nullopt);
  EXPECT_EQ(settings_.Get("OptionCookie"), "1");
  ClickAt(page, kOptNsX, kOptNsY);
  dialog = manager.WaitFor("VendrolixProCookiePath");
  ASSERT_NE(dialog, nullptr);

  // A folder ending in .SLT, with spaces around it, is taken trimmed.
  std::string typed = "  " + profile.substr(0, profile.size() - 4) + ".SLT  ";
  SendMessageA(GetDlgItem(dialog, 301), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
  PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 5s));
  EXPECT_TRUE(WaitUntil([&] { return Checked(page, 203); }, 5s)) << "Netscape view";
  EXPECT_EQ(settings_.Get("PathNSCookie"), profile.substr(0, profile.size() - 4) + ".SLT");
  EXPECT_EQ(settings_.Get("OptionCookie"), "0");
  EXPECT_EQ(Shown(page), (std::vector<std::pair<std::string, bool>>{{"found.com", false}}));
  ExitFrom(manager, page);
}

// The page closed (as ending the task closes it) while a question or notice
// of the switch to Netscape is up: the program ends and saves nothing, though the user had
// changed a tick.
TEST_F(CookiePageTest, ACloseDuringAQuestionSavesNothing) {
  struct Case {
    const char* what;
    const char* nsExist;
    const char* typed;  // typed into the path dialog and confirmed; nullptr: left open
    const char* modalClass;
  };
  const Case cases[] = {
      {"the Netscape path dialog", "1", nullptr, "VendrolixProCookiePath"},
      {"the No Netscape notice", "0", nullptr, kMessageClass},
      {"the still-not-found message", "1", "C:\\nothing\\here.slt", "#32770"},
  };
  Cookies({"one", "two"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(WriteFileBytes(folder_->File("IECookieURL.dat"), "#" + Entry("one") + "#\r\n"));
    settings_.Set("AutoClean", "1");
    settings_.Set("OptionCookie", "1");
    settings_.Set("NSExist", c.nsExist);
    Manager manager;
    HWND page = StartOnCookiePage(manager);
    ASSERT_NE(page, nullptr);
    TickBox(page, 1);
    ClickAt(page, kOptNsX, kOptNsY);
    if (c.typed) {
      HWND dialog = manager.WaitFor("VendrolixProCookiePath");
      ASSERT_NE(dialog, nullptr);
      SendMessageA(GetDlgItem(dialog, 301), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(c.typed));
      PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    }
    ASSERT_NE(manager.WaitFor(c.modalClass), nullptr);
    // As ending the task closes it: the page is disabled under its question,
    // so the system menu's Close would not reach it.
    PostMessageA(page, WM_CLOSE, 0, 0);
    EXPECT_TRUE(manager.WaitForExit(10s));
    EXPECT_EQ(Keep("IECookieURL.dat"), "#" + Entry("one") + "#\r\n");
    EXPECT_EQ(settings_.Get("AutoClean"), "1");
    EXPECT_EQ(settings_.Get("OptionCookie"), "1");
    settings_.Remove("PathNSCookie");
  }
}

// A click on an entry's box ticks that entry in a list of more than 65,535
// entries too, not the one whose number has the same low 16 bits.
TEST_F(CookiePageTest, AClickTicksTheEntryClickedInAListBeyond65535Entries) {
  ASSERT_FALSE(Arg("many-cookies").empty()) << "--many-cookies=PATH missing";
  constexpr int kEntries = 70001;  // Low store files of the sites site000000 to site070000
  const CookieFolder many(WinePath(Arg("many-cookies")));
  Manager manager;
  // Each file of the Low store is read for its site: slow under Wine.
  const DWORD start = GetTickCount();
  HWND page = StartOnCookiePage(manager, 180s);
  std::printf("70,001 Low store files listed in %lu ms\n", GetTickCount() - start);
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return SendMessageA(List(page), LB_GETCOUNT, 0, 0) == kEntries; }, 120s));
  std::set<int> ticked;
  for (int entry : {0, 65535, 65536, 70000}) {
    // Into view: at the top, or as high as the end of the list lets it go.
    SendMessageA(List(page), LB_SETTOPINDEX, entry, 0);
    ASSERT_TRUE(WaitUntil(
        [&] {
          RECT client = {}, item = {};
          GetClientRect(List(page), &client);
          SendMessageA(List(page), LB_GETITEMRECT, entry, reinterpret_cast<LPARAM>(&item));
          return SendMessageA(List(page), LB_GETTOPINDEX, 0, 0) <= entry && item.bottom <= client.bottom;
        },
        3s))
        << entry;
    TickBox(page, entry);
    ticked.insert(entry);
    const int alias = entry & 0xFFFF;
    EXPECT_EQ(SendMessageA(List(page), LB_GETITEMDATA, entry, 0), 1) << entry;
    EXPECT_EQ(SendMessageA(List(page), LB_GETITEMDATA, alias, 0), ticked.count(alias) ? 1 : 0)
        << "entry " << alias << " after a click on " << entry;
  }
  ClickAt(page, kExitX, kButtonY);
  EXPECT_TRUE(manager.WaitForExit(30s));
}

// ---- Look at 96 and 120 dpi --------------------------------------------------

// The screen's DPI for the programs started while it lives (a program reads
// it once, so this test program keeps its 96).
class ScreenDpi {
 public:
  explicit ScreenDpi(int dpi) : saved_(GetDword(HKEY_CURRENT_USER, kDesktop, "LogPixels")) {
    SetDword(HKEY_CURRENT_USER, kDesktop, "LogPixels", static_cast<DWORD>(dpi));
  }
  ~ScreenDpi() {
    if (saved_) {
      SetDword(HKEY_CURRENT_USER, kDesktop, "LogPixels", *saved_);
    } else {
      DeleteValue(HKEY_CURRENT_USER, kDesktop, "LogPixels");
    }
  }
  ScreenDpi(const ScreenDpi&) = delete;
  ScreenDpi& operator=(const ScreenDpi&) = delete;

 private:
  static constexpr const char* kDesktop = "Control Panel\\Desktop";
  std::optional<DWORD> saved_;
};

struct TwipsBox {
  long left, top, width, height;
};

// Every light pixel of the window (text in the highlight-text colour, button
// captions) lies in one of the boxes its texts are drawn in; the controls are
// hidden first, since a text that runs on under a control is cut off there,
// and shown again afterwards: the controls take the clicks that follow.
void ExpectTextsInTheirBoxes(HWND window, int dpi, const std::vector<TwipsBox>& boxes) {
  std::vector<HWND> hidden;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (IsWindowVisible(child)) hidden.push_back(child);
  }
  for (HWND child : hidden) ShowWindow(child, SW_HIDE);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  Sleep(400);
  RECT rc = {};
  GetWindowRect(window, &rc);
  HRGN shape = CreateRectRgn(0, 0, 0, 0);
  const bool shaped = GetWindowRgn(window, shape) != ERROR;
  const ScreenCapture capture = CaptureScreen(rc);
  for (HWND child : hidden) ShowWindow(child, SW_SHOWNA);
  ASSERT_FALSE(capture.pixels.empty());
  auto px = [dpi](long twips) { return MulDiv(twips, dpi, 1440); };
  int light = 0;
  std::vector<POINT> stray;
  for (int y = 0; y < capture.height; ++y) {
    for (int x = 0; x < capture.width; ++x) {
      if (shaped && !PtInRegion(shape, x, y)) continue;
      const COLORREF c = capture.At(x, y);
      if (GetRValue(c) < 235 || GetGValue(c) < 235 || GetBValue(c) < 235) continue;
      ++light;
      bool inside = false;
      for (const TwipsBox& b : boxes) {
        inside = inside || (x >= px(b.left) - 1 && x <= px(b.left + b.width) && y >= px(b.top) - 1 &&
                            y <= px(b.top + b.height));
      }
      if (!inside) stray.push_back({x, y});
    }
  }
  DeleteObject(shape);
  EXPECT_GT(light, 0) << "nothing light was captured";
  EXPECT_TRUE(stray.empty()) << stray.size() << " light pixels outside every text box, the first at "
                             << (stray.empty() ? 0 : stray[0].x) << "," << (stray.empty() ? 0 : stray[0].y);
}

// The boxes of the painted texts: title, tabs, labels, button faces.
const std::vector<TwipsBox> kWhiteListBoxes = {
    {240, 108, 2400, 432},  {2640, 480, 1092, 252},  {3720, 480, 1452, 252},  {480, 2688, 1452, 192},
    {1920, 3000, 3852, 192}, {2640, 3420, 1092, 432}, {3840, 3420, 1092, 432}, {5040, 3408, 1092, 456}};
const std::vector<TwipsBox> kCookieBoxes = {
    {240, 108, 2400, 432}, {2640, 480, 1092, 252}, {3720, 480, 1452, 252},  {480, 840, 3120, 192},
    {3960, 840, 732, 192}, {5160, 840, 732, 192},  {720, 2988, 5532, 252},  {2640, 3420, 1092, 432},
    {3840, 3420, 1092, 432}, {5040, 3420, 1092, 432}};
const std::vector<TwipsBox> kMessageBoxes = {{420, 120, 2592, 312}, {300, 600, 3612, 840}, {1560, 1320, 1152, 432}};

// Captions fit their boxes in the font the system really gives the manager,
// and the option and check boxes are whole, from 96 to 192 dpi.
TEST_F(CookiePageTest, CaptionsFitAndBoxesAreWholeAtEachDpi) {
  Profile("p.slt", std::string("shown.com\tTRUE\r\n"));
  Cookies({"one"});
  settings_.Set("NSExist", "1");
  for (int dpi : {96, 120, 144, 192}) {
    SCOPED_TRACE(std::to_string(dpi) + " dpi");
    ScreenDpi screen(dpi);
    settings_.Set("OptionCookie", "0");  // the Netscape view, with the longer auto-clean caption
    Manager manager;
    HWND cookie = StartOnCookiePage(manager);
    ASSERT_NE(cookie, nullptr);
    RECT rc = {};
    GetWindowRect(cookie, &rc);
    EXPECT_NEAR(rc.right - rc.left, MulDiv(6420, dpi, 1440), 2) << "the manager runs at the DPI set";

    // The box the system's classic controls draw at this DPI.
    const int side = MulDiv(12, dpi, 96) + 1;
    for (int id : {202, 203, 204}) {
      GetWindowRect(GetDlgItem(cookie, id), &rc);
      EXPECT_GE(rc.right - rc.left, side) << "control " << id;
      EXPECT_GE(rc.bottom - rc.top, side) << "control " << id;
    }
    EXPECT_GE(SendMessageA(List(cookie), LB_GETITEMHEIGHT, 0, 0), side) << "the entries' check boxes";
    Screenshot(cookie, "cookie_page_" + std::to_string(dpi) + "dpi");
    ExpectTextsInTheirBoxes(cookie, dpi, kCookieBoxes);

    ClickAt(cookie, kWhiteListTabX, kTabY, dpi);
    HWND white = manager.WaitFor(kWhiteListClass);
    ASSERT_NE(white, nullptr);
    Screenshot(white, "white_list_page_" + std::to_string(dpi) + "dpi");
    ExpectTextsInTheirBoxes(white, dpi, kWhiteListBoxes);

    ClickAt(white, kRemoveX, kButtonY, dpi);  // nothing selected: the notice
    HWND box = manager.WaitFor(kMessageClass);
    ASSERT_NE(box, nullptr);
    ExpectTextsInTheirBoxes(box, dpi, kMessageBoxes);
    ClickAt(box, kBoxLeftX, kBoxButtonY, dpi);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }, 5s));
    ClickAt(white, kExitX, kButtonY, dpi);
    EXPECT_TRUE(manager.WaitForExit(10s));
  }
}

// Relative luminance and contrast ratio as the accessibility rules define them.
double Luminance(COLORREF c) {
  const auto channel = [](int v) {
    const double s = v / 255.0;
    return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(GetRValue(c)) + 0.7152 * channel(GetGValue(c)) + 0.0722 * channel(GetBValue(c));
}
double Contrast(COLORREF a, COLORREF b) {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// In high contrast every painted text stands out from what lies under it by
// 4.5:1 at least (each box's commonest colour against its most distinct one).
TEST_F(ManagerTest, HighContrastTextsStandOutByTheRulesRatio) {
  HighContrastSpell mode;
  Manager manager;
  HWND page = StartShowing(manager, kWhiteListClass);
  ASSERT_NE(page, nullptr);
  Sleep(500);
  Screenshot(page, "white_list_page_high_contrast");
  RECT rc = {};
  GetWindowRect(page, &rc);
  const ScreenCapture capture = CaptureScreen(rc);
  ASSERT_FALSE(capture.pixels.empty());
  for (const TwipsBox& box : kWhiteListBoxes) {
    std::map<COLORREF, int> counts;
    for (int y = MulDiv(box.top, 96, 1440); y < MulDiv(box.top + box.height, 96, 1440) && y < capture.height; ++y) {
      for (int x = MulDiv(box.left, 96, 1440); x < MulDiv(box.left + box.width, 96, 1440) && x < capture.width; ++x)
        ++counts[capture.At(x, y)];
    }
    const auto back = std::max_element(counts.begin(), counts.end(),
                                       [](const auto& a, const auto& b) { return a.second < b.second; });
    ASSERT_NE(back, counts.end());
    double best = 1.0;
    for (const auto& [colour, count] : counts) {
      if (count >= 3) best = std::max(best, Contrast(colour, back->first));
    }
    EXPECT_GE(best, 4.5) << "text box at " << box.left << "," << box.top;
  }
  ExitFrom(manager, page);
}

}  // namespace
}  // namespace vendrolix::test
