// The setup program in the test prefix: a silent install puts every file and
// registry entry in place in both registry views, the bench's browser of
// either bitness loads the installed helper from the listing, a second
// install keeps the user's switches, a silent uninstall closes the tray and
// leaves nothing of ours but the user's own lists, and an installation from
// the Windows Installer package is not joined by a second one.
#include <windows.h>
#include <msi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "settings.h"
#include "text.h"
#include "installer_support.h"
#include "win32/handles.h"
#include "wine_support.h"

namespace vendrolix {
namespace {


using test::GetDword;
using test::GetText;
using test::Exists;
using test::KeyExists;

// A window with the tray's caption on its own thread, standing in for the
// tray program: it records the WM_CLOSE the uninstaller sends.
class TrayStandIn {
 public:
  TrayStandIn() {
    thread_ = std::thread([this] { Run(); });
    test::WaitUntil([this] { return ready_.load(); }, std::chrono::seconds(10));
  }
  ~TrayStandIn() {
    if (window_) PostMessageA(window_, WM_CLOSE, 0, 0);
    thread_.join();
  }
  bool closed() const { return closed_.load(); }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TrayStandIn*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_CLOSE && self) self->closed_ = true;
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
  }
  void Run() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VendrolixTrayStandIn";
    RegisterClassA(&wc);
    window_ = CreateWindowExA(0, wc.lpszClassName, kTrayFormCaption, WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                              wc.hInstance, nullptr);
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ready_ = true;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    window_ = nullptr;
  }

  std::thread thread_;
  std::atomic<bool> ready_{false};
  std::atomic<bool> closed_{false};
  HWND window_ = nullptr;
};

class InstallerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VENDROLIX_SKIP_WITHOUT_32BIT("the installer is a 32-bit program");
    ASSERT_FALSE(test::Arg("setup").empty());
    test::DeleteKeyTree(HKEY_LOCAL_MACHINE, kSettingsKey);
    folder_ = test::InstallFolder();
  }
  void TearDown() override {
    for (const char* name : {file::WhiteList, file::IeKeepList, file::NsKeepList}) {
      DeleteFileA((folder_ + "\\" + name).c_str());
    }
    RemoveDirectoryA(folder_.c_str());
  }
  void Install() {
    const auto run =
        test::RunProcess(test::Quote(test::WinePath(test::Arg("setup"))) + " /S", std::chrono::seconds(120));
    ASSERT_TRUE(run.finished) << run.output;
    ASSERT_EQ(run.exitCode, 0u) << run.output;
  }
  void Uninstall() {
    const std::string uninstaller = folder_ + "\\Uninstall.exe";
    ASSERT_TRUE(Exists(uninstaller));
    const auto run = test::RunProcess(test::Quote(uninstaller) + " /S", std::chrono::seconds(120));
    ASSERT_TRUE(run.finished) << run.output;
    // The uninstaller runs on from a copy of itself; its last step is the
    // settings key.
    EXPECT_TRUE(test::WaitUntil(
        [&] { return !Exists(uninstaller) && !KeyExists(HKEY_LOCAL_MACHINE, kSettingsKey, KEY_WOW64_32KEY); },
        std::chrono::seconds(60)));
    test::WaitUntil([&] { return !KeyExists(HKEY_LOCAL_MACHINE, test::kSetupUninstallKey, KEY_WOW64_32KEY); },
                    std::chrono::seconds(10));
  }

  std::string folder_;
};

TEST_F(InstallerTest, SilentInstallPutsEverythingInPlaceAndUninstallRemovesIt) {
  Install();
  const std::string menu = test::StartMenuFolder();
  test::ExpectSuiteInstalled(folder_, menu, test::Arg("dist32"), test::Arg("dist64"));
  EXPECT_TRUE(Exists(folder_ + "\\Uninstall.exe"));

  // The Add/Remove Programs entry.
  EXPECT_EQ(GetText(HKEY_LOCAL_MACHINE, test::kSetupUninstallKey, "DisplayName", KEY_WOW64_32KEY), "Vendrolix");
  EXPECT_EQ(GetText(HKEY_LOCAL_MACHINE, test::kSetupUninstallKey, "DisplayVersion", KEY_WOW64_32KEY),
            test::Arg("version"));
  EXPECT_EQ(GetText(HKEY_LOCAL_MACHINE, test::kSetupUninstallKey, "Publisher", KEY_WOW64_32KEY), "Tervanic");
  const auto quiet = GetText(HKEY_LOCAL_MACHINE, test::kSetupUninstallKey, "QuietUninstallString", KEY_WOW64_32KEY);
  ASSERT_TRUE(quiet.has_value());
  EXPECT_TRUE(ContainsNoCase(*quiet, "\\Vendrolix\\Uninstall.exe\" /S")) << *quiet;
  EXPECT_TRUE(GetText(HKEY_LOCAL_MACHINE, test::kSetupUninstallKey, "UninstallString", KEY_WOW64_32KEY).has_value());
  EXPECT_GT(GetDword(HKEY_LOCAL_MACHINE, test::kSetupUninstallKey, "EstimatedSize", KEY_WOW64_32KEY).value_or(0), 0u);

  // The user's lists, then the uninstall with a tray running.
  for (const char* name : {file::WhiteList, file::IeKeepList, file::NsKeepList}) {
    ASSERT_TRUE(test::WriteFileBytes(folder_ + "\\" + name, "1\r\nexample\r\n"));
  }
  {
    TrayStandIn tray;
    Uninstall();
    EXPECT_TRUE(tray.closed());
  }

  test::ExpectSuiteRemoved(folder_, menu);
  for (const char* name : {file::WhiteList, file::IeKeepList, file::NsKeepList}) {
    EXPECT_EQ(test::ReadFileBytes(folder_ + "\\" + name), std::string("1\r\nexample\r\n")) << name;
  }
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, test::kSetupUninstallKey, KEY_WOW64_32KEY));
}

// The manager's values where versions before the split kept them, which
// users may write: carried once, on the upgrade from that layout (no Manager
// key yet), and only as far as no user can turn them against another; a copy
// planted there later is deleted unread.
TEST_F(InstallerTest, InstallingCarriesTheManagersValuesOnceAndOnlyAsSafe) {
  using Values = std::map<std::string, std::optional<std::string>>;
  const struct {
    const char* name;
    Values manager;   // in the Manager key before; none: the older layout
    Values after;     // in the Manager key after
  } cases[] = {
      {"the older layout", {},
       {{value::AutoClean, "0"},
        {value::NSAutoClean, "0"},
        {value::OptionCookie, "0"},
        {value::PathNSCookie, std::nullopt}}},
      {"planted over the manager's own", {{value::AutoClean, "1"}},
       {{value::AutoClean, "1"}, {value::NSAutoClean, "0"}, {value::OptionCookie, std::nullopt},
        {value::PathNSCookie, std::nullopt}}},
  };
  const char* const managerValues[] = {value::AutoClean, value::NSAutoClean, value::OptionCookie, value::PathNSCookie};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::DeleteKeyTree(HKEY_LOCAL_MACHINE, kSettingsKey);
    for (const auto& [name, data] : c.manager) test::SetText(HKEY_LOCAL_MACHINE, kManagerKey, name, *data);
    for (const char* name : {value::AutoClean, value::NSAutoClean}) {
      test::SetText(HKEY_LOCAL_MACHINE, kSettingsKey, name, "1");
    }
    test::SetText(HKEY_LOCAL_MACHINE, kSettingsKey, value::OptionCookie, "0");
    test::SetText(HKEY_LOCAL_MACHINE, kSettingsKey, value::PathNSCookie, "C:\\planted\\profile.slt");
    test::SetText(HKEY_LOCAL_MACHINE, kSettingsKey, value::FirstStart, "0");
    Install();
    for (const auto& [name, data] : c.after) EXPECT_EQ(GetText(HKEY_LOCAL_MACHINE, kManagerKey, name), data) << name;
    for (const char* name : managerValues) {
      EXPECT_EQ(GetText(HKEY_LOCAL_MACHINE, kSettingsKey, name), std::nullopt) << name;
    }
    EXPECT_EQ(GetText(HKEY_LOCAL_MACHINE, kSettingsKey, value::FirstStart, KEY_WOW64_32KEY), "1");
    Uninstall();
    EXPECT_FALSE(Exists(folder_ + "\\CookieCleaner.dll"));
  }
}

// A folder that is, or lies below, a reparse point is refused with an
// error (the message box is skipped when silent), and nothing lands where
// the link leads.
TEST_F(InstallerTest, RefusesAFolderReachedThroughALink) {
  test::ExpectRefusedThroughLink([](const std::string& folder) {
    const auto run = test::RunProcess(test::Quote(test::WinePath(test::Arg("setup"))) + " /S /D=" + folder,
                                      std::chrono::seconds(120));
    ASSERT_TRUE(run.finished) << run.output;
    EXPECT_NE(run.exitCode, 0u);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, test::kSetupUninstallKey, KEY_WOW64_32KEY));
  });
}

// Drives the interactive uninstaller as a user would: confirms, answers the
// question about the user's lists, and closes the window when it is done.
struct UninstallerUser {
  int answer;  // IDYES or IDNO
  bool asked = false;

  void ActOnItsWindows() {
    for (HWND window : test::TopWindows(
             [](HWND w) { return IsWindowVisible(w) && test::WindowText(w).rfind("Vendrolix", 0) == 0; })) {
      if (HWND button = GetDlgItem(window, answer); button && GetDlgItem(window, answer == IDYES ? IDNO : IDYES)) {
        asked = true;
        PostMessageA(button, BM_CLICK, 0, 0);
        continue;
      }
      HWND next = GetDlgItem(window, IDOK);  // Uninstall, then Close
      if (next && IsWindowEnabled(next) && IsWindowVisible(next)) PostMessageA(next, BM_CLICK, 0, 0);
    }
  }
};

std::vector<HWND> UninstallerWindows() {
  return test::TopWindows([](HWND w) { return test::WindowText(w).rfind("Vendrolix Uninstall", 0) == 0; });
}

TEST_F(InstallerTest, InteractiveUninstallDeletesTheUsersListsWhenToldTo) {
  Install();
  for (const char* name : {file::WhiteList, file::IeKeepList, file::NsKeepList}) {
    ASSERT_TRUE(test::WriteFileBytes(folder_ + "\\" + name, "0\r\n"));
  }
  const std::string uninstaller = folder_ + "\\Uninstall.exe";
  // It runs on from a copy of itself: its windows are found by their caption.
  test::StartedProgram launched(test::Quote(uninstaller), DETACHED_PROCESS);
  ASSERT_TRUE(launched.started());

  UninstallerUser user{IDNO};
  const bool done = test::WaitUntil(
      [&] {
        user.ActOnItsWindows();
        return user.asked && !Exists(uninstaller) && !Exists(folder_);
      },
      std::chrono::seconds(90), std::chrono::milliseconds(300));
  EXPECT_TRUE(done);
  EXPECT_TRUE(user.asked);
  for (const char* name : {file::WhiteList, file::IeKeepList, file::NsKeepList}) {
    EXPECT_FALSE(Exists(folder_ + "\\" + name)) << name;
  }
  test::WaitUntil(
      [&] {
        user.ActOnItsWindows();
        return UninstallerWindows().empty();
      },
      std::chrono::seconds(10), std::chrono::milliseconds(300));
  for (HWND window : UninstallerWindows()) test::EndProcessOf(window);
}

// The browser finds the installed helper through the listing alone. Each
// bitness's browser gets its own helper file.
TEST_F(InstallerTest, InstalledHelperBlocksAPopUpInEitherBitnessOfBrowser) {
  Install();
  {
    SCOPED_TRACE("32-bit browser");
    test::ExpectInstalledHelperBlocksPopUp(test::Arg("iexplore32"), KEY_WOW64_32KEY, "\\Vendrolix\\VendrolixIEDLL.dll");
  }
  {
    SCOPED_TRACE("64-bit browser");
    test::ExpectInstalledHelperBlocksPopUp(test::Arg("iexplore64"), KEY_WOW64_64KEY,
                                           "\\Vendrolix\\VendrolixIEDLL64.dll");
  }
  Uninstall();
}

// An installation from the Windows Installer package owns the same folder
// and settings: the setup program refuses to install beside it and changes
// nothing.
TEST_F(InstallerTest, RefusesToInstallBesideThePackagesInstallation) {
  const std::string msiexec = "msiexec.exe /qn ";
  const auto install =
      test::RunProcess(msiexec + "/i " + test::Quote(test::WinePath(test::Arg("msi"))), std::chrono::seconds(180));
  ASSERT_TRUE(install.finished && install.exitCode == 0) << install.output;
  const auto tray = test::ReadFileBytes(folder_ + "\\VendrolixTray.exe");

  const auto run = test::RunProcess(test::Quote(test::WinePath(test::Arg("setup"))) + " /S", std::chrono::seconds(120));
  ASSERT_TRUE(run.finished) << run.output;
  EXPECT_NE(run.exitCode, 0u);
  EXPECT_FALSE(Exists(folder_ + "\\Uninstall.exe"));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, test::kSetupUninstallKey, KEY_WOW64_32KEY));
  EXPECT_EQ(test::ReadFileBytes(folder_ + "\\VendrolixTray.exe"), tray);

  char product[39] = {};
  ASSERT_EQ(MsiEnumRelatedProductsA(test::Arg("upgrade-code").c_str(), 0, 0, product),
            static_cast<UINT>(ERROR_SUCCESS));
  const auto remove = test::RunProcess(msiexec + "/x " + product, std::chrono::seconds(180));
  EXPECT_TRUE(remove.finished && remove.exitCode == 0) << remove.output;
}

}  // namespace
}  // namespace vendrolix
