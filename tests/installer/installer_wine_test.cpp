// The setup program in the test prefix: a silent install puts every file and
// registry entry in place in both registry views, the bench's browser of
// either bitness loads the installed helper from the listing, a second
// install keeps the user's switches, and a silent uninstall closes the tray
// and leaves nothing of ours but the user's own lists.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <thread>

#include "CookieCleaner.h"
#include "settings.h"
#include "text.h"
#include "installer_support.h"
#include "win32/handles.h"
#include "wine_support.h"

namespace {
std::string g_setup;       // VendrolixSetup.exe (Unix path)
std::string g_dist32;      // dist/i686 (Unix path)
std::string g_iexplore32;  // the bench's browser stand-in of each bitness (Unix paths)
std::string g_iexplore64;
}

namespace vendrolix {
namespace {

const char* const kCleanerClsid = "CLSID\\{CCD21D21-7305-4FED-8714-0436099AF281}\\InprocServer32";
const char* const kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vendrolix";

using test::GetDword;
using test::kHelperClsid;
using test::GetText;
using test::KeyExists;

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string InstallFolder() {
  char buffer[MAX_PATH] = {};
  DWORD n = ExpandEnvironmentStringsA("%ProgramFiles(x86)%", buffer, MAX_PATH);
  std::string folder = (n > 0 && n <= MAX_PATH) ? std::string(buffer) : std::string();
  if (folder.empty() || folder.find('%') != std::string::npos) {
    n = ExpandEnvironmentStringsA("%ProgramFiles%", buffer, MAX_PATH);
    folder = std::string(buffer);
  }
  return folder + "\\Vendrolix";
}

std::string StartMenuFolder() {
  char buffer[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, buffer);
  return std::string(buffer) + "\\Vendrolix";
}

std::uint32_t Le32(const std::string& bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
  return v;
}

// A PCM wave whose chunk sizes agree with the file, short enough to be a
// notification: what PlaySoundA needs, and what a generator fault would break.
void ExpectPlayableWave(const std::string& wav) {
  ASSERT_GE(wav.size(), 44u);
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(Le32(wav, 4), wav.size() - 8);
  EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(Le32(wav, 16), 16u);
  EXPECT_EQ(Le32(wav, 20) & 0xFFFF, 1u);  // PCM
  EXPECT_EQ(wav.substr(36, 4), "data");
  EXPECT_EQ(Le32(wav, 40), wav.size() - 44);
  const std::uint32_t bytesPerSecond = Le32(wav, 28);
  ASSERT_GT(bytesPerSecond, 0u);
  const double seconds = static_cast<double>(wav.size() - 44) / bytesPerSecond;
  EXPECT_GT(seconds, 0.05);
  EXPECT_LT(seconds, 1.0);
}

bool HelperBuilt() { return !g_dist32.empty() && Exists(test::WinePath(g_dist32 + "/VendrolixIEDLL.dll")); }

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
    ASSERT_FALSE(g_setup.empty());
    test::DeleteKeyTree(HKEY_LOCAL_MACHINE, kSettingsKey);
    folder_ = InstallFolder();
  }
  void TearDown() override {
    for (const char* name : {file::WhiteList, file::IeKeepList, file::NsKeepList}) {
      DeleteFileA((folder_ + "\\" + name).c_str());
    }
    RemoveDirectoryA(folder_.c_str());
  }
  void Install() {
    const auto run = test::RunProcess(test::Quote(test::WinePath(g_setup)) + " /S", std::chrono::seconds(120));
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
    test::WaitUntil([&] { return !KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_WOW64_32KEY); },
                    std::chrono::seconds(10));
  }

  std::string folder_;
};

TEST_F(InstallerTest, SilentInstallPutsEverythingInPlaceAndUninstallRemovesIt) {
  Install();

  // Files, the 64-bit components under their own names.
  for (const char* name : {"CookieCleaner.dll", "CookieCleaner64.dll", "Block.wav", "VendrolixHelp.chm",
                           "Uninstall.exe"}) {
    EXPECT_TRUE(Exists(folder_ + "\\" + name)) << name;
  }
  const auto wav = test::ReadFileBytes(folder_ + "\\Block.wav");
  ASSERT_TRUE(wav.has_value());
  EXPECT_EQ(wav, test::ReadFileBytes(test::WinePath(g_dist32 + "/Block.wav")));
  ExpectPlayableWave(*wav);
  for (const char* name : {"VendrolixTray.exe", "VendrolixPro.exe", "VendrolixIEDLL.dll"}) {
    EXPECT_EQ(Exists(folder_ + "\\" + name), Exists(test::WinePath(g_dist32 + "/" + name))) << name;
  }

  // The settings key in the suite's view, with cleaning off.
  EXPECT_EQ(GetText(HKEY_LOCAL_MACHINE, kSettingsKey, value::FirstStart, KEY_WOW64_32KEY), "1");
  EXPECT_EQ(GetText(HKEY_LOCAL_MACHINE, kSettingsKey, value::AutoClean, KEY_WOW64_32KEY), "0");
  EXPECT_EQ(GetText(HKEY_LOCAL_MACHINE, kSettingsKey, value::NSAutoClean, KEY_WOW64_32KEY), "0");
  // What users and the browser at low integrity may write, and the tray in
  // the browser's elevation policy.
  test::ExpectInstalledGrants(folder_);

  // The cleaner registered once per view, each view pointing at its own file.
  const auto cleaner32 = GetText(HKEY_CLASSES_ROOT, kCleanerClsid, "", KEY_WOW64_32KEY);
  const auto cleaner64 = GetText(HKEY_CLASSES_ROOT, kCleanerClsid, "", KEY_WOW64_64KEY);
  ASSERT_TRUE(cleaner32 && cleaner64);
  EXPECT_TRUE(EndsWithNoCase(*cleaner32, "\\Vendrolix\\CookieCleaner.dll")) << *cleaner32;
  EXPECT_TRUE(EndsWithNoCase(*cleaner64, "\\Vendrolix\\CookieCleaner64.dll")) << *cleaner64;
  {
    // This 64-bit process gets the 64-bit cleaner, which refuses a wrong code.
    win32::ScopedCoInit com;
    Microsoft::WRL::ComPtr<ICookieCleaner> cleaner;
    ASSERT_EQ(CoCreateInstance(CLSID_CookieCleaner, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&cleaner)), S_OK);
    BSTR code = SysAllocString(L"NOT THE CODE");
    EXPECT_EQ(cleaner->CleanIECookies(&code), E_ACCESSDENIED);
    SysFreeString(code);
  }

  const std::string bho = std::string(kBrowserHelperObjectsKey) + "\\" + kHelperClsid;
  if (HelperBuilt()) {
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, bho, KEY_WOW64_32KEY));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, bho, KEY_WOW64_64KEY));
  }

  // Start menu and the Add/Remove Programs entry.
  const std::string menu = StartMenuFolder();
  for (const char* name : {"Vendrolix Help.lnk", "Uninstall Vendrolix.lnk"}) {
    EXPECT_TRUE(Exists(menu + "\\" + name)) << name;
  }
  EXPECT_EQ(Exists(menu + "\\Vendrolix Pro.lnk"), Exists(folder_ + "\\VendrolixPro.exe"));
  EXPECT_EQ(GetText(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName", KEY_WOW64_32KEY), "Vendrolix");
  EXPECT_EQ(GetText(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion", KEY_WOW64_32KEY), "4.0");
  EXPECT_EQ(GetText(HKEY_LOCAL_MACHINE, kUninstallKey, "Publisher", KEY_WOW64_32KEY), "Tervanic");
  const auto quiet = GetText(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString", KEY_WOW64_32KEY);
  ASSERT_TRUE(quiet.has_value());
  EXPECT_TRUE(ContainsNoCase(*quiet, "\\Vendrolix\\Uninstall.exe\" /S")) << *quiet;
  EXPECT_TRUE(GetText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", KEY_WOW64_32KEY).has_value());
  EXPECT_GT(GetDword(HKEY_LOCAL_MACHINE, kUninstallKey, "EstimatedSize", KEY_WOW64_32KEY).value_or(0), 0u);

  // The user's lists, then the uninstall with a tray running.
  for (const char* name : {file::WhiteList, file::IeKeepList, file::NsKeepList}) {
    ASSERT_TRUE(test::WriteFileBytes(folder_ + "\\" + name, "1\r\nexample\r\n"));
  }
  {
    TrayStandIn tray;
    Uninstall();
    EXPECT_TRUE(tray.closed());
  }

  for (const char* name : {"CookieCleaner.dll", "CookieCleaner64.dll", "Block.wav", "VendrolixHelp.chm",
                           "VendrolixTray.exe", "VendrolixPro.exe", "VendrolixIEDLL.dll", "VendrolixIEDLL64.dll"}) {
    EXPECT_FALSE(Exists(folder_ + "\\" + name)) << name;
  }
  for (const char* name : {file::WhiteList, file::IeKeepList, file::NsKeepList}) {
    EXPECT_EQ(test::ReadFileBytes(folder_ + "\\" + name), std::string("1\r\nexample\r\n")) << name;
  }
  EXPECT_FALSE(Exists(menu));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_WOW64_32KEY));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kSettingsKey, KEY_WOW64_32KEY));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Tervanic", KEY_WOW64_32KEY));
  for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
    EXPECT_FALSE(GetText(HKEY_CLASSES_ROOT, kCleanerClsid, "", view).has_value());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, bho, view));
  }
  test::ExpectNoElevationPolicy();
}

TEST_F(InstallerTest, InstallingAgainKeepsTheUsersCleaningSwitches) {
  test::CreateKey(HKEY_LOCAL_MACHINE, kSettingsKey);
  test::SetText(HKEY_LOCAL_MACHINE, kSettingsKey, value::AutoClean, "1");
  test::SetText(HKEY_LOCAL_MACHINE, kSettingsKey, value::FirstStart, "0");
  Install();
  EXPECT_EQ(GetText(HKEY_LOCAL_MACHINE, kSettingsKey, value::AutoClean, KEY_WOW64_32KEY), "1");
  EXPECT_EQ(GetText(HKEY_LOCAL_MACHINE, kSettingsKey, value::NSAutoClean, KEY_WOW64_32KEY), "0");
  EXPECT_EQ(GetText(HKEY_LOCAL_MACHINE, kSettingsKey, value::FirstStart, KEY_WOW64_32KEY), "1");
  Uninstall();
  EXPECT_FALSE(Exists(folder_ + "\\CookieCleaner.dll"));
}

// Drives the interactive uninstaller as a user would: confirms, answers the
// question about the user's lists, and closes the window when it is done.
struct UninstallerUser {
  int answer;  // IDYES or IDNO
  bool asked = false;

  static BOOL CALLBACK Visit(HWND window, LPARAM self) {
    reinterpret_cast<UninstallerUser*>(self)->Act(window);
    return TRUE;
  }
  void Act(HWND window) {
    char title[128] = {};
    GetWindowTextA(window, title, sizeof(title));
    if (!IsWindowVisible(window) || std::strncmp(title, "Vendrolix", 9) != 0) return;
    if (HWND button = GetDlgItem(window, answer); button && GetDlgItem(window, answer == IDYES ? IDNO : IDYES)) {
      asked = true;
      PostMessageA(button, BM_CLICK, 0, 0);
      return;
    }
    HWND next = GetDlgItem(window, IDOK);  // Uninstall, then Close
    if (next && IsWindowEnabled(next) && IsWindowVisible(next)) PostMessageA(next, BM_CLICK, 0, 0);
  }
};

// The uninstaller's windows that are still up: their processes are ended so
// that nothing outlives the test.
BOOL CALLBACK EndUninstaller(HWND window, LPARAM) {
  char title[128] = {};
  GetWindowTextA(window, title, sizeof(title));
  if (std::strncmp(title, "Vendrolix Uninstall", 19) != 0) return TRUE;
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == 0 || pid == GetCurrentProcessId()) return TRUE;
  win32::UniqueKernelHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
  if (process) {
    TerminateProcess(process.get(), 0);
    WaitForSingleObject(process.get(), 5000);
  }
  return TRUE;
}

TEST_F(InstallerTest, InteractiveUninstallDeletesTheUsersListsWhenToldTo) {
  Install();
  for (const char* name : {file::WhiteList, file::IeKeepList, file::NsKeepList}) {
    ASSERT_TRUE(test::WriteFileBytes(folder_ + "\\" + name, "0\r\n"));
  }
  const std::string uninstaller = folder_ + "\\Uninstall.exe";
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  std::string commandLine = test::Quote(uninstaller);
  ASSERT_TRUE(CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr,
                             &startup, &process));
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);

  UninstallerUser user{IDNO};
  const bool done = test::WaitUntil(
      [&] {
        EnumWindows(&UninstallerUser::Visit, reinterpret_cast<LPARAM>(&user));
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
        EnumWindows(&UninstallerUser::Visit, reinterpret_cast<LPARAM>(&user));
        return FindWindowA(nullptr, "Vendrolix Uninstall") == nullptr;
      },
      std::chrono::seconds(10), std::chrono::milliseconds(300));
  EnumWindows(&EndUninstaller, 0);
}

// The browser finds the installed helper through the listing alone: nothing
// is registered by the test. Each bitness's browser gets its own helper file.
TEST_F(InstallerTest, InstalledHelperBlocksAPopUpInEitherBitnessOfBrowser) {
  if (!HelperBuilt()) GTEST_SKIP() << "no browser helper in the build";
  Install();
  const struct {
    const char* name;
    const std::string& browser;
    REGSAM view;
    const char* helperFile;
  } cases[] = {{"32-bit browser", g_iexplore32, KEY_WOW64_32KEY, "\\Vendrolix\\VendrolixIEDLL.dll"},
               {"64-bit browser", g_iexplore64, KEY_WOW64_64KEY, "\\Vendrolix\\VendrolixIEDLL64.dll"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_FALSE(c.browser.empty()) << "no browser stand-in given";
    const auto server = GetText(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kHelperClsid + "\\InprocServer32", "",
                                c.view);
    ASSERT_TRUE(server.has_value());
    EXPECT_TRUE(EndsWithNoCase(*server, c.helperFile)) << *server;

    test::ScratchFolder scratch("installed-helper");
    const std::string scenario = scratch.File("scenario.txt");
    ASSERT_TRUE(test::WriteFileBytes(
        scenario, "open W1\nnavigate W1 http://www.popups.example.net/\ntitle W1 Pop-ups\nnewwindow W1\nclose W1\n"));
    const std::string command = test::Quote(test::WinePath(c.browser)) + " " + test::Quote(scenario);
    auto run = test::RunProcess(command, std::chrono::seconds(120));
    if (!run.started) run = test::RunProcess(command, std::chrono::seconds(120));  // a loaded Wine, once
    ASSERT_TRUE(run.finished && run.exitCode == 0) << run.output;
    EXPECT_NE(run.output.find("open W1 helpers 1"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("newwindow W1 cancelled"), std::string::npos) << run.output;
  }
  Uninstall();
}

}  // namespace
}  // namespace vendrolix

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  vendrolix::test::ReadTextFlags(argc, argv, {{"--setup=", &g_setup},
                                              {"--dist32=", &g_dist32},
                                              {"--iexplore32=", &g_iexplore32},
                                              {"--iexplore64=", &g_iexplore64}});
  return RUN_ALL_TESTS();
}
