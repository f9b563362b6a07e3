// The real cleaner, registered with regsvr32 in the test prefix and created
// through COM, over cookie folders and keep lists made for each test.
#include <windows.h>

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <map>
#include <memory>
#include <vector>

#include "CookieCleaner.h"
#include "settings.h"
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
    scratch_ = std::make_unique<test::ScratchFolder>("cookie-cleaner");
    install_ = scratch_->File("install");
    CreateDirectoryA(install_.c_str(), nullptr);
    dll_ = install_ + "\\CookieCleaner.dll";
    ASSERT_TRUE(CopyFileA(test::WinePath(test::Arg("cleaner")).c_str(), dll_.c_str(), FALSE));
    const auto reg = test::RunProcess("regsvr32 /s " + test::Quote(dll_));
    ASSERT_TRUE(reg.finished && reg.exitCode == 0) << reg.output;
    savedCookies_ = test::GetText(HKEY_CURRENT_USER, kShellFoldersKey, "Cookies");
    savedAppData_ = test::GetText(HKEY_CURRENT_USER, kShellFoldersKey, "AppData");
  }
  static void TearDownTestSuite() {
    RestoreShellFolder("Cookies", savedCookies_);
    RestoreShellFolder("AppData", savedAppData_);
    test::RunProcess("regsvr32 /s /u " + test::Quote(dll_));
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
    cookies_ = root_ + "\\Cookies";
    CreateDirectoryA(cookies_.c_str(), nullptr);
    test::SetText(HKEY_CURRENT_USER, kShellFoldersKey, "Cookies", cookies_);
    DeleteFileA((install_ + "\\" + file::IeKeepList).c_str());
    DeleteFileA((install_ + "\\" + file::NsKeepList).c_str());
  }

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

  static std::unique_ptr<test::ScratchFolder> scratch_;
  static std::string install_;
  static std::string dll_;
  static std::optional<std::string> savedCookies_;
  static std::optional<std::string> savedAppData_;
  test::SettingsKey settings_;
  std::string root_;
  std::string cookies_;
};

std::unique_ptr<test::ScratchFolder> CleanerTest::scratch_;
std::string CleanerTest::install_;
std::string CleanerTest::dll_;
std::optional<std::string> CleanerTest::savedCookies_;
std::optional<std::string> CleanerTest::savedAppData_;

// name -> survives, for a keep list with a prefix entry and case differences.
const std::map<std::string, bool> kCookieFolder = {
    {"joe@ab[1].txt", true},        {"joe@AB[2].txt", true},   {"JOE@X.COM[1].txt", true},
    {"joe@abc[1].txt", false},      {"joe@a[1].txt", false},   {"joe@other.net[3].txt", false},
    {"index.dat", true},            {"Index.txt", true},       {"desktop.ini", true},
    {"notes.doc", true},            {"plain.txt", false},
};
const char* const kIeKeepLine = "#joe@ab##joe@x.com#\r\n";

TEST_F(CleanerTest, FirstMethodDeletesExactlyTheUnkeptCookieFiles) {
  for (const auto& [name, survives] : kCookieFolder) Put(cookies_ + "\\" + name);
  CreateDirectoryA((cookies_ + "\\Low").c_str(), nullptr);
  Put(cookies_ + "\\Low\\joe@other.net[1].txt");
  Put(root_ + "\\joe@other.net[1].txt");  // beside the folder, not in it
  KeepList(file::IeKeepList, kIeKeepLine);

  EXPECT_EQ(Call(&ICookieCleaner::CleanIECookies, L"MORVATHELK"), S_OK);

  for (const auto& [name, survives] : kCookieFolder) {
    EXPECT_EQ(Exists(cookies_ + "\\" + name), survives) << name;
  }
  EXPECT_TRUE(Exists(cookies_ + "\\Low\\joe@other.net[1].txt"));
  EXPECT_TRUE(Exists(root_ + "\\joe@other.net[1].txt"));
}

TEST_F(CleanerTest, NothingIsDeletedWithoutTheCodeOrTheKeepList) {
  for (const auto& [name, survives] : kCookieFolder) Put(cookies_ + "\\" + name);
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
    for (const auto& [name, survives] : kCookieFolder) EXPECT_TRUE(Exists(cookies_ + "\\" + name)) << c.what;
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

TEST_F(CleanerTest, SecondMethodRewritesTheStoredProfilesCookieFile) {
  const std::string profile = root_ + "\\abcd1234.slt";
  CreateDirectoryA(profile.c_str(), nullptr);
  Put(profile + "\\Cookies.txt", kNetscapeFile);
  settings_.Set(value::PathNSCookie, profile);
  KeepList(file::NsKeepList, "#AB.com##Keep.Org#\r\n");

  EXPECT_EQ(Call(&ICookieCleaner::CleanNSCookies, L"MORVATHELK"), S_OK);

  EXPECT_EQ(test::ReadFileBytes(profile + "\\Cookies.txt"), std::string(kNetscapeKept));
  EXPECT_EQ(settings_.Get(value::PathNSCookie), profile);
  // The IE/AOL method leaves the Netscape file alone.
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
  Put(cookies_ + "\\joe@gone[1].txt");
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
  EXPECT_FALSE(Exists(cookies_ + "\\joe@gone[1].txt"));
}

TEST(CleanerRegistration, UnregisteringRemovesTheClass) {
  test::ScratchFolder folder("cookie-cleaner-reg");
  const std::string dll = folder.File("CookieCleaner.dll");
  ASSERT_TRUE(CopyFileA(test::WinePath(test::Arg("cleaner")).c_str(), dll.c_str(), FALSE));
  const std::string clsidKey = "CLSID\\{CCD21D21-7305-4FED-8714-0436099AF281}";
  ASSERT_EQ(test::RunProcess("regsvr32 /s " + test::Quote(dll)).exitCode, 0u);
  // HKCR in this process's own view, as the DLL of this bitness wrote it.
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, (clsidKey + "\\InprocServer32").c_str(), 0, KEY_READ, &key),
            ERROR_SUCCESS);
  win32::UniqueHKey owner(key);
  char model[32] = {};
  DWORD size = sizeof(model) - 1;
  EXPECT_EQ(RegQueryValueExA(key, "ThreadingModel", nullptr, nullptr, reinterpret_cast<BYTE*>(model), &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(model, "Apartment");
  owner.reset();
  ASSERT_EQ(test::RunProcess("regsvr32 /s /u " + test::Quote(dll)).exitCode, 0u);
  HKEY gone = nullptr;
  EXPECT_NE(RegOpenKeyExA(HKEY_CLASSES_ROOT, clsidKey.c_str(), 0, KEY_READ, &gone), ERROR_SUCCESS);
  if (gone) RegCloseKey(gone);
}

// The helper creates the cleaner inside the browser, and COM unloads it
// once it is idle: a browser that cleans at every last window would pile
// up whatever a load keeps.
TEST(CleanerUnload, AnUnloadLeavesNothingBehind) {
  const std::string dll = test::WinePath(test::Arg("cleaner"));
  win32::ScopedCoInit com;
  const auto cycle = [&] {
    HMODULE module = LoadLibraryA(dll.c_str());
    if (!module) return false;
    using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    const auto getClassObject = reinterpret_cast<GetClassObjectFn>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    bool created = false;
    {
      ComPtr<IClassFactory> factory;
      ComPtr<ICookieCleaner> cleaner;
      if (getClassObject && SUCCEEDED(getClassObject(CLSID_CookieCleaner, IID_PPV_ARGS(&factory)))) {
        created = SUCCEEDED(factory->CreateInstance(nullptr, IID_PPV_ARGS(&cleaner)));
      }
    }
    FreeLibrary(module);
    return created;
  };
  constexpr int kLoads = 4;
  ASSERT_TRUE(cycle());
  const long long before = test::HeapInUse();
  for (int i = 0; i < kLoads; ++i) ASSERT_TRUE(cycle());
  EXPECT_LT(test::HeapInUse() - before, test::LoadLeakBound(kLoads)) << kLoads << " loads and unloads";
}

}  // namespace
}  // namespace vendrolix
