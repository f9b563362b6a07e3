// The real cleaner, registered with regsvr32 in the test prefix and created
// through COM, over the prefix's own cookie store, filled by the platform's
// cookie calls in a process of their own, and keep lists made for each test.
#include <windows.h>

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "CookieCleaner.h"
#include "policy_key.h"
#include "settings.h"
#include "tray_wine_support.h"
#include "win32/com_server.h"
#include "win32/handles.h"
#include "wine_support.h"


namespace vendrolix {
namespace {

using Microsoft::WRL::ComPtr;

// One installation folder for the whole program: COM keeps the DLL loaded,
// so it is copied and registered once.
class CleanerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    scratch_ = std::make_unique<test::BenchInstall>("cookie-cleaner");
    install_ = scratch_->path();
    ASSERT_EQ(scratch_->Copy(test::Arg("cleaner"), "CookieCleaner.dll"), "");
    ASSERT_EQ(scratch_->Register(scratch_->File("CookieCleaner.dll")), "");
    savedCookies_ = test::GetText(HKEY_CURRENT_USER, kShellFoldersKey, "Cookies");
    savedAppData_ = test::GetText(HKEY_CURRENT_USER, kShellFoldersKey, "AppData");
  }
  static void TearDownTestSuite() {
    RestoreShellFolder("Cookies", savedCookies_);
    RestoreShellFolder("AppData", savedAppData_);
    scratch_.reset();
  }
  static void RestoreShellFolder(const char* name, const std::optional<std::string>& value) {
    if (value) {
      test::SetText(HKEY_CURRENT_USER, kShellFoldersKey, name, *value);
    } else {
      test::DeleteValue(HKEY_CURRENT_USER, kShellFoldersKey, name);
    }
  }

  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = scratch_->File(info->name());
    CreateDirectoryA(root_.c_str(), nullptr);
    DeleteFileA((install_ + "\\" + file::IeKeepList).c_str());
    DeleteFileA((install_ + "\\" + file::NsKeepList).c_str());
    // The store's own folder: every program that opens the store writes it
    // back into the shell folders, so a folder of the test's would not last.
    ASSERT_EQ(test::StoreCookies("clear").exitCode, 0u);
    cookies_ = test::GetText(HKEY_CURRENT_USER, kShellFoldersKey, "Cookies").value_or("");
    ASSERT_FALSE(cookies_.empty());
    low_ = cookies_ + "\\Low";
    CreateDirectoryA(low_.c_str(), nullptr);
    user_ = test::StoreUser();
  }
  void TearDown() override {
    test::StoreCookies("clear");
    test::RemoveFolderTree(low_);
  }

  // Persistent cookies of these addresses, made as a browser makes them.
  void MakeCookies(const std::vector<std::pair<std::string, std::string>>& cookies) {
    std::string arguments = "set";
    for (const auto& [url, nameValue] : cookies) arguments += " " + test::PersistentCookie(url, nameValue);
    ASSERT_EQ(test::StoreCookies(arguments).exitCode, 0u);
  }
  // A site's cookies read back in a new process, "" when it has none.
  std::string CookieOf(const std::string& url) {
    const auto lines = test::OutputLines(test::StoreCookies("get " + test::Quote(url)).output);
    return lines.empty() ? "" : lines[0];
  }
  std::string Site(const std::string& hostPath) const { return user_ + "@" + hostPath; }

  void Put(const std::string& path, const std::string& bytes = "cookie\n") {
    ASSERT_TRUE(test::WriteFileBytes(path, bytes)) << path;
  }
  void KeepList(const char* name, const std::string& bytes) { Put(install_ + "\\" + name, bytes); }
  bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

  // Calls a method through the early-bound interface, as the suite does.
  HRESULT Call(HRESULT (STDMETHODCALLTYPE ICookieCleaner::*method)(BSTR*), const wchar_t* code) {
    win32::ScopedCoInit com;
    ComPtr<ICookieCleaner> cleaner;
    const HRESULT created =
        CoCreateInstance(CLSID_CookieCleaner, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&cleaner));
    if (FAILED(created)) return created;
    BSTR text = SysAllocString(code);
    const HRESULT hr = (cleaner.Get()->*method)(&text);
    SysFreeString(text);
    return hr;
  }

  static std::unique_ptr<test::BenchInstall> scratch_;  // the cleaner registered from it
  static std::string install_;
  static std::optional<std::string> savedCookies_;
  static std::optional<std::string> savedAppData_;
  test::SettingsKey settings_;
  std::string root_;
  std::string cookies_;
  std::string low_;
  std::string user_;
};

std::unique_ptr<test::BenchInstall> CleanerTest::scratch_;
std::string CleanerTest::install_;
std::optional<std::string> CleanerTest::savedCookies_;
std::optional<std::string> CleanerTest::savedAppData_;

// Three sites, one with two paths; the Low store holds copies of two of the
// files the platform wrote, one damaged file and one of the old-style name
// an older keep list names.
TEST_F(CleanerTest, FirstMethodDeletesTheUnkeptSitesOfBothStores) {
  MakeCookies({{"http://www.example.com/", "a=1"},
               {"http://www.example.com/deep/", "d=4; path=/deep"},
               {"http://news.example.org/x/", "b=2"},
               {"http://shop.test.net/", "c=3"},
               {"http://old.example.net/", "o=5"}});
  const std::string& low = low_;
  std::string kept, gone;
  for (const auto& entry : test::StoreEntries()) {
    std::string* copy = entry.site == Site("www.example.com/") ? &kept : entry.site == Site("shop.test.net/") ? &gone : nullptr;
    std::string name = entry.file.substr(entry.file.rfind('\\') + 1);
    if (entry.site == Site("old.example.net/")) name = user_ + "@oldsite[1].txt";
    else if (!copy) continue;
    ASSERT_TRUE(CopyFileA(entry.file.c_str(), (low + "\\" + name).c_str(), FALSE)) << entry.file;
    if (copy) *copy = name;
  }
  ASSERT_FALSE(kept.empty() || gone.empty()) << "the store's entries name their files";
  Put(low + "\\DAMAGED1.txt", "a\n1\n");
  Put(low + "\\index.dat", "index");
  KeepList(file::IeKeepList, "#" + Site("WWW.example.com") + "##" + user_ + "@oldsite#\r\n");

  EXPECT_EQ(Call(&ICookieCleaner::CleanIECookies, L"MORVATHELK"), S_OK);

  // A site a keep list spares by the old-style name of one of its files keeps
  // all its cookies, as the manager shows it ticked.
  std::vector<std::string> sites = test::StoreSites();
  std::sort(sites.begin(), sites.end());
  EXPECT_EQ(sites, (std::vector<std::string>{Site("old.example.net/"), Site("www.example.com/"), Site("www.example.com/deep")}));
  EXPECT_EQ(CookieOf("http://www.example.com/"), "a=1");
  EXPECT_EQ(CookieOf("http://news.example.org/x/"), "");
  EXPECT_EQ(CookieOf("http://shop.test.net/"), "");
  EXPECT_TRUE(Exists(low + "\\" + kept));
  EXPECT_FALSE(Exists(low + "\\" + gone));
  for (const std::string& stays : {low + "\\" + user_ + "@oldsite[1].txt", low + "\\DAMAGED1.txt", low + "\\index.dat",
                                   cookies_ + "\\index.dat"}) {
    EXPECT_TRUE(Exists(stays)) << stays;
  }
}

// The administrator's hosts keep their cookies and their subdomains'
// whatever the keep list says; a host that only ends alike does not.
TEST_F(CleanerTest, FirstMethodNeverCleansTheAdministratorsHosts) {
  const test::PolicyGuard policies;
  MakeCookies({{"http://intranet.corp.example/", "s=1"},
               {"http://www.example.org/", "b=2"},
               {"http://badcorp.example/", "c=3"}});
  ASSERT_TRUE(test::AddPolicyEntry(policy::KeepCookies, " corp.example "));
  KeepList(file::IeKeepList, "\r\n");
  EXPECT_EQ(Call(&ICookieCleaner::CleanIECookies, L"MORVATHELK"), S_OK);
  EXPECT_EQ(CookieOf("http://intranet.corp.example/"), "s=1");
  EXPECT_EQ(CookieOf("http://www.example.org/"), "");
  EXPECT_EQ(CookieOf("http://badcorp.example/"), "");
}

// The tray runs with the user's own rights, where a Protected Mode browser's
// last window reaches only the Low store: once the last browser window has
// gone, the tray has both stores cleaned.
TEST_F(CleanerTest, TheTrayCleansBothStoresOnceTheLastBrowserWindowHasGone) {
  MakeCookies({{"http://www.example.com/", "a=1"}, {"http://news.example.org/", "b=2"}});
  std::vector<std::string> lowFiles;
  for (const auto& entry : test::StoreEntries()) {
    lowFiles.push_back(low_ + entry.file.substr(entry.file.rfind('\\')));
    ASSERT_TRUE(CopyFileA(entry.file.c_str(), lowFiles.back().c_str(), FALSE));
  }
  ASSERT_EQ(lowFiles.size(), 2u);
  KeepList(file::IeKeepList, "#" + Site("www.example.com") + "#\r\n");
  for (const auto& [name, text] : {std::pair<const char*, const char*>{value::AutoClean, "1"}, {value::NSAOLRun, "0"},
                                   {value::hForm, "0"}, {value::Popup, "2"}}) {
    settings_.Set(name, text);
  }
  {
    test::BrowserWindow ie;
    test::TrayProcess tray(test::WinePath(test::Arg("tray")));
    ASSERT_TRUE(tray.WaitReady());
    ASSERT_TRUE(PostMessageA(tray.formButton(), kButtonClickMessage, 0, 0));
    ie.Close();
    EXPECT_TRUE(tray.WaitExit(std::chrono::seconds(10)));
  }
  EXPECT_EQ(test::StoreSites(), std::vector<std::string>{Site("www.example.com/")});
  EXPECT_TRUE(Exists(lowFiles[0]));
  EXPECT_FALSE(Exists(lowFiles[1]));
}

TEST_F(CleanerTest, NothingIsDeletedWithoutTheCodeOrTheKeepList) {
  MakeCookies({{"http://www.example.com/", "a=1"}});
  struct Case {
    const char* what;
    const wchar_t* code;
    const char* keepList;  // its bytes; nullptr: no file
  };
  const Case cases[] = {
      {"wrong code", L"morvathelk", "\r\n"},
      {"empty code", L"", "\r\n"},
      {"no keep list", L"MORVATHELK", nullptr},
      {"a keep list of 0 bytes was never saved", L"MORVATHELK", ""},
  };
  for (const auto& c : cases) {
    DeleteFileA((install_ + "\\" + file::IeKeepList).c_str());
    if (c.keepList) KeepList(file::IeKeepList, c.keepList);
    Call(&ICookieCleaner::CleanIECookies, c.code);
    EXPECT_EQ(test::StoreSites(), std::vector<std::string>{Site("www.example.com/")}) << c.what;
  }
  EXPECT_EQ(Call(&ICookieCleaner::CleanIECookies, L"WRONG"), E_ACCESSDENIED);
}

TEST_F(CleanerTest, MissingCookieFolderDeletesNothingElsewhere) {
  test::SetText(HKEY_CURRENT_USER, kShellFoldersKey, "Cookies", root_ + "\\NoSuchFolder");
  Put(root_ + "\\joe@other.net[1].txt");
  KeepList(file::IeKeepList, "\r\n");
  EXPECT_EQ(Call(&ICookieCleaner::CleanIECookies, L"MORVATHELK"), S_OK);
  EXPECT_TRUE(Exists(root_ + "\\joe@other.net[1].txt"));
}

const char* const kNetscapeFile =
    "# Netscape HTTP Cookie File\r\n"
    "# http://www.example.invalid/cookie_spec.html\r\n"
    "\r\n"
    ".ab.com\tTRUE\t/\tFALSE\t1100000000\tid\t1\r\n"
    "ab.com\tFALSE\t/\tFALSE\t1100000000\tid\t2\r\n"
    "AB.COM\tFALSE\t/x\tFALSE\t1100000000\tid\t3\n"
    "abc.com\tFALSE\t/\tFALSE\t1100000000\tid\t4\r\n"
    "no tab here\r\n"
    "keep.org\tFALSE\t/\tFALSE\t1100000000\tid\t5";
const char* const kNetscapeKept =
    "# Netscape HTTP Cookie File\r\n"
    "# http://www.example.invalid/cookie_spec.html\r\n"
    "\r\n"
    "ab.com\tFALSE\t/\tFALSE\t1100000000\tid\t2\r\n"
    "AB.COM\tFALSE\t/x\tFALSE\t1100000000\tid\t3\n"
    "no tab here\r\n"
    "keep.org\tFALSE\t/\tFALSE\t1100000000\tid\t5";

// The stored profile is written by others than the cleaner's callers: a
// network path is never followed, even to a file a local path reaches.
TEST_F(CleanerTest, SecondMethodRewritesTheStoredProfilesCookieFileOnALocalPathOnly) {
  const test::UncShare share("vendrolix-host", "profiles");
  ASSERT_FALSE(share.local().empty());
  const struct {
    std::string reached, stored;
    bool cleaned;
  } cases[] = {
      {root_, root_, true},
      {share.local(), share.local(), true},
      {share.local(), share.unc(), false},
      {share.local(), "//vendrolix-host/profiles", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    const std::string profile = c.reached + "\\abcd1234.slt";
    CreateDirectoryA(profile.c_str(), nullptr);
    Put(profile + "\\Cookies.txt", kNetscapeFile);
    settings_.Set(value::PathNSCookie, c.stored + "\\abcd1234.slt");
    KeepList(file::NsKeepList, "#AB.com##Keep.Org#\r\n");

    EXPECT_EQ(Call(&ICookieCleaner::CleanNSCookies, L"MORVATHELK"), S_OK);

    EXPECT_EQ(test::ReadFileBytes(profile + "\\Cookies.txt"), std::string(c.cleaned ? kNetscapeKept : kNetscapeFile));
    EXPECT_EQ(settings_.Get(value::PathNSCookie), c.stored + "\\abcd1234.slt");
  }
  // The IE/AOL method leaves the Netscape file alone.
  const std::string profile = root_ + "\\abcd1234.slt";
  settings_.Set(value::PathNSCookie, profile);
  EXPECT_EQ(Call(&ICookieCleaner::CleanIECookies, L"MORVATHELK"), S_OK);
  EXPECT_EQ(test::ReadFileBytes(profile + "\\Cookies.txt"), std::string(kNetscapeKept));
}

TEST_F(CleanerTest, SecondMethodSearchesTheDefaultProfilesWithoutStoringThePath) {
  const std::string appData = root_ + "\\AppData";
  const std::string base = appData + "\\Mozilla\\Profiles\\default";
  for (const std::string& folder : {appData, appData + "\\Mozilla", appData + "\\Mozilla\\Profiles", base,
                                    base + "\\abc.slt", base + "\\xyz.slt", base + "\\plain"}) {
    CreateDirectoryA(folder.c_str(), nullptr);
  }
  Put(base + "\\xyz.slt\\Cookies.txt", kNetscapeFile);
  Put(base + "\\plain\\Cookies.txt", kNetscapeFile);
  test::SetText(HKEY_CURRENT_USER, kShellFoldersKey, "AppData", appData);
  KeepList(file::NsKeepList, "#ab.com##keep.org#\r\n");

  EXPECT_EQ(Call(&ICookieCleaner::CleanNSCookies, L"MORVATHELK"), S_OK);

  EXPECT_EQ(test::ReadFileBytes(base + "\\xyz.slt\\Cookies.txt"), std::string(kNetscapeKept));
  EXPECT_EQ(test::ReadFileBytes(base + "\\plain\\Cookies.txt"), std::string(kNetscapeFile));
  EXPECT_FALSE(settings_.Get(value::PathNSCookie).has_value());
}

TEST_F(CleanerTest, SecondMethodWithoutKeepListOrCodeKeepsTheFile) {
  const std::string profile = root_ + "\\p.slt";
  CreateDirectoryA(profile.c_str(), nullptr);
  Put(profile + "\\Cookies.txt", kNetscapeFile);
  settings_.Set(value::PathNSCookie, profile);
  EXPECT_EQ(Call(&ICookieCleaner::CleanNSCookies, L"MORVATHELK"), S_OK);
  EXPECT_EQ(test::ReadFileBytes(profile + "\\Cookies.txt"), std::string(kNetscapeFile));
  KeepList(file::NsKeepList, "\r\n");
  EXPECT_EQ(Call(&ICookieCleaner::CleanNSCookies, L"MORVATHELk"), E_ACCESSDENIED);
  EXPECT_EQ(test::ReadFileBytes(profile + "\\Cookies.txt"), std::string(kNetscapeFile));
}

TEST_F(CleanerTest, LateBoundCallersReachTheMethodsByName) {
  MakeCookies({{"http://gone.example.com/", "g=1"}});
  KeepList(file::IeKeepList, "\r\n");
  win32::ScopedCoInit com;
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(L"Vendrolix.CookieCleaner", &clsid), S_OK);
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dispatch)), S_OK);
  LPOLESTR name = const_cast<LPOLESTR>(L"CleanIECookies");
  DISPID id = 0;
  ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);
  BSTR code = SysAllocString(L"MORVATHELK");
  VARIANT arg;
  VariantInit(&arg);
  arg.vt = VT_BSTR | VT_BYREF;
  arg.pbstrVal = &code;
  DISPPARAMS params{&arg, nullptr, 1, 0};
  EXPECT_EQ(dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
            S_OK);
  SysFreeString(code);
  EXPECT_TRUE(test::StoreSites().empty());
}

TEST(CleanerRegistration, UnregisteringRemovesTheClass) {
  test::ScratchFolder folder("cookie-cleaner-reg");
  const std::string dll = folder.File("CookieCleaner.dll");
  ASSERT_TRUE(CopyFileA(test::WinePath(test::Arg("cleaner")).c_str(), dll.c_str(), FALSE));
  const std::string clsidKey = "CLSID\\{CCD21D21-7305-4FED-8714-0436099AF281}";
  ASSERT_EQ(test::RunProcess("regsvr32 /s " + test::Quote(dll)).exitCode, 0u);
  // HKCR in this process's own view, as the DLL of this bitness wrote it.
  EXPECT_EQ(test::GetText(HKEY_CLASSES_ROOT, clsidKey + "\\InprocServer32", "ThreadingModel", win32::kModuleView),
            "Apartment");
  ASSERT_EQ(test::RunProcess("regsvr32 /s /u " + test::Quote(dll)).exitCode, 0u);
  EXPECT_FALSE(test::KeyExists(HKEY_CLASSES_ROOT, clsidKey, win32::kModuleView));
}

// The helper creates the cleaner inside the browser, and COM unloads it
// once it is idle: a browser that cleans at every last window would pile
// up whatever a load keeps.
TEST(CleanerUnload, AnUnloadLeavesNothingBehind) {
  const std::string dll = test::WinePath(test::Arg("cleaner"));
  win32::ScopedCoInit com;
  const auto cycle = [&] {
    test::LoadedServer server(dll, CLSID_CookieCleaner);
    const bool created = server.Create<ICookieCleaner>() != nullptr;
    return created && server.CanUnloadNow() == S_OK;
  };
  constexpr int kLoads = 4;
  ASSERT_TRUE(cycle());
  const long long before = test::HeapInUse();
  for (int i = 0; i < kLoads; ++i) ASSERT_TRUE(cycle());
  EXPECT_LT(test::HeapInUse() - before, test::LoadLeakBound(kLoads)) << kLoads << " loads and unloads";
}

}  // namespace
}  // namespace vendrolix
