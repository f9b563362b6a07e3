// Drives the real VendrolixPro.exe under Wine: real clicks on the painted
// buttons, the white list file checked byte for byte afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "input_support.h"
#include "wine_support.h"

namespace vendrolix::test {
namespace {

std::string g_manager;    // the built program (Unix path)
std::string g_artifacts;  // screenshots go here (Unix path)

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

// A page's point given in twips of its design, as a screen pixel (96 dpi).
POINT At(HWND window, long xTwips, long yTwips) {
  RECT rc = {};
  GetWindowRect(window, &rc);
  return {rc.left + MulDiv(xTwips, 96, 1440), rc.top + MulDiv(yTwips, 96, 1440)};
}

void ClickAt(HWND window, long xTwips, long yTwips) {
  POINT p = At(window, xTwips, yTwips);
  MouseClick(p.x, p.y);
}

// Button centres and tab labels of the page windows, in twips.
constexpr long kButtonY = 3636;
constexpr long kAddX = 3186, kRemoveX = 4386, kExitX = 5586;
constexpr long kTabY = 606, kWhiteListTabX = 3186, kCookieTabX = 4446;

class Manager {
 public:
  Manager() = default;
  ~Manager() { Kill(); }

  bool Start(const std::string& exe) {
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    std::string command = Quote(exe);
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_)) return false;
    started_ = true;
    return true;
  }
  HWND Find(const char* className) const {
    FindData data = {pi_.dwProcessId, className, nullptr};
    EnumWindows(FindOne, reinterpret_cast<LPARAM>(&data));
    return data.found;
  }
  HWND WaitFor(const char* className, bool visible = true) const {
    HWND found = nullptr;
    WaitUntil(
        [&] {
          found = Find(className);
          return found && (!visible || IsWindowVisible(found));
        },
        15s);
    return found && (!visible || IsWindowVisible(found)) ? found : nullptr;
  }
  bool WaitForExit(std::chrono::milliseconds timeout) const {
    return started_ && WaitForSingleObject(pi_.hProcess, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
  }
  bool Running() const { return started_ && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT; }
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
  if (g_artifacts.empty()) return;
  RECT rc = {};
  GetWindowRect(window, &rc);
  InflateRect(&rc, 8, 8);
  CreateDirectoryA(WinePath(g_artifacts).c_str(), nullptr);
  SaveScreenshot(WinePath(g_artifacts) + "\\" + name + ".bmp", &rc);
}

class ManagerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new ScratchFolder("manager_install");
    ASSERT_TRUE(CopyFileA(WinePath(g_manager).c_str(), folder_->File("VendrolixPro.exe").c_str(), FALSE));
  }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }
  void SetUp() override {
    ASSERT_FALSE(g_manager.empty()) << "--manager=PATH missing";
    HDC screen = GetDC(nullptr);
    ASSERT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 96);
    ReleaseDC(nullptr, screen);
    DeleteFileA(WebSite().c_str());
  }
  std::string Exe() const { return folder_->File("VendrolixPro.exe"); }
  static std::string WebSite() { return folder_->File("WebSite.dat"); }
  std::string ReadList() const { return ReadFileBytes(WebSite()).value_or("<missing>"); }

  // Types text into the keyword box and presses Add.
  void Add(HWND page, const std::string& text) {
    HWND edit = GetDlgItem(page, 102);
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    ClickAt(page, kAddX, kButtonY);
  }

  SettingsKey settings_;
  static ScratchFolder* folder_;
};
ScratchFolder* ManagerTest::folder_ = nullptr;

TEST_F(ManagerTest, EditsTheWhiteListAndKeepsTheFileInStep) {
  Manager manager;
  ASSERT_TRUE(manager.Start(Exe()));
  HWND page = manager.WaitFor(kWhiteListClass);
  ASSERT_NE(page, nullptr);
  HWND list = GetDlgItem(page, 101);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(ReadList(), "");  // a missing list is created empty on load

  struct Step {
    const char* typed;
    const char* file;
  };
  const Step steps[] = {
      {"  Beta  ", "1\r\nBeta\r\n"},
      {"alpha", "2\r\nalpha\r\nBeta\r\n"},
      {"beta", "3\r\nalpha\r\nBeta\r\nbeta\r\n"},
      {"Beta", "4\r\nalpha\r\nBeta\r\nbeta\r\nBeta\r\n"},
      {"ad.example.com", "5\r\nad.example.com\r\nalpha\r\nBeta\r\nbeta\r\nBeta\r\n"},
  };
  for (const Step& step : steps) {
    Add(page, step.typed);
    EXPECT_TRUE(WaitUntil([&] { return ReadList() == step.file; }, 5s)) << step.typed << ": " << ReadList();
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
      {"5\r\nzeta\r\nAlpha\r\n", {"Alpha", "zeta"}},  // count larger than the lines present
      {"0\r\n", {}},
      {"", {}},
      {"x\r\nalpha\r\n", {}},
      {"1\r\n  spaced  \r\nnot counted\r\n", {"  spaced  "}},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(WriteFileBytes(WebSite(), c.file));
    Manager manager;
    ASSERT_TRUE(manager.Start(Exe()));
    HWND page = manager.WaitFor(kWhiteListClass);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(ListItems(GetDlgItem(page, 101)), c.entries) << c.file;
    EXPECT_EQ(ReadList(), c.file) << "loading never rewrites the file";
    ClickAt(page, kExitX, kButtonY);
    EXPECT_TRUE(manager.WaitForExit(10s));
  }
}

TEST_F(ManagerTest, NoticesShowTheSkinnedBoxAndChangeNothing) {
  ASSERT_TRUE(WriteFileBytes(WebSite(), "1\r\nkeep\r\n"));
  Manager manager;
  ASSERT_TRUE(manager.Start(Exe()));
  HWND page = manager.WaitFor(kWhiteListClass);
  ASSERT_NE(page, nullptr);
  HWND list = GetDlgItem(page, 101);

  struct Case {
    const char* typed;  // nullptr: press Remove with nothing selected
    const char* title;
    const char* screenshot;
  };
  const Case cases[] = {
      {"    ", "Add web site", "message_add"},
      {nullptr, "Remove web site", "message_remove"},
  };
  for (const Case& c : cases) {
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
    ClickAt(box, 2760 + 576, 1320 + 216);
    Sleep(300);
    EXPECT_TRUE(IsWindow(box));
    Screenshot(box, c.screenshot);
    ClickAt(box, 1560 + 576, 1320 + 216);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }, 5s)) << c.title;
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(page) != FALSE; }, 5s));
    EXPECT_EQ(ListItems(list), std::vector<std::string>{"keep"});
    EXPECT_EQ(ReadList(), "1\r\nkeep\r\n");
  }
  EXPECT_EQ(ControlText(GetDlgItem(page, 102)), "") << "the keyword box is emptied after the Add notice";
}

TEST_F(ManagerTest, ReleaseOutsideAButtonDoesNothingAndRestoresItsLook) {
  Manager manager;
  ASSERT_TRUE(manager.Start(Exe()));
  HWND page = manager.WaitFor(kWhiteListClass);
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
  EXPECT_EQ(ReadList(), "");
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
    ASSERT_TRUE(manager.Start(Exe()));
    HWND page = manager.WaitFor(c.shown);
    ASSERT_NE(page, nullptr) << (c.status ? c.status : "(missing)");
    EXPECT_EQ(manager.Find(c.absent), nullptr);
    EXPECT_EQ(settings_.Get("Status"), c.status ? std::optional<std::string>(c.status) : std::nullopt)
        << "Status is never written";
    if (std::strcmp(c.shown, kCookieClass) == 0) Screenshot(page, "cookie_page_placeholder");
    ClickAt(page, kExitX, kButtonY);
    EXPECT_TRUE(manager.WaitForExit(10s));
  }
}

TEST_F(ManagerTest, TabsSwitchPagesInPlaceAndExitEndsBoth) {
  settings_.Set("Status", "1");
  ASSERT_TRUE(WriteFileBytes(WebSite(), "1\r\nfirst\r\n"));
  Manager manager;
  ASSERT_TRUE(manager.Start(Exe()));
  HWND cookie = manager.WaitFor(kCookieClass);
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

TEST_F(ManagerTest, CloseFromTheTaskbarEndsTheProgram) {
  Manager manager;
  ASSERT_TRUE(manager.Start(Exe()));
  HWND white = manager.WaitFor(kWhiteListClass);
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
  ASSERT_TRUE(manager.Start(Exe()));
  HWND cookie = manager.WaitFor(kCookieClass);
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
  ClickAt(white, kExitX, kButtonY);
  EXPECT_TRUE(manager.WaitForExit(10s));
}

}  // namespace
}  // namespace vendrolix::test

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--manager=", 10) == 0) vendrolix::test::g_manager = argv[i] + 10;
    if (std::strncmp(argv[i], "--artifacts=", 12) == 0) vendrolix::test::g_artifacts = argv[i] + 12;
  }
  return RUN_ALL_TESTS();
}
