#include "installer_support.h"

#include <windows.h>
#include <sddl.h>
#include <shlobj.h>

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "CookieCleaner.h"
#include "settings.h"
#include "text.h"
#include "win32/handles.h"
#include "wine_support.h"

namespace vendrolix::test {

namespace {

// The key's mandatory label, read from its descriptor itself: Wine does not
// write labels back as SDDL text.
std::optional<std::string> LabelOf(HKEY root, const std::string& subKey) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(root, subKey.c_str(), 0, READ_CONTROL | KEY_WOW64_32KEY, &opened) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  win32::UniqueHKey key(opened);
  DWORD size = 0;
  RegGetKeySecurity(key.get(), LABEL_SECURITY_INFORMATION, nullptr, &size);
  if (size == 0) return std::nullopt;
  std::vector<BYTE> descriptor(size);
  if (RegGetKeySecurity(key.get(), LABEL_SECURITY_INFORMATION, descriptor.data(), &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  BOOL present = FALSE, defaulted = FALSE;
  PACL sacl = nullptr;
  if (!GetSecurityDescriptorSacl(descriptor.data(), &present, &sacl, &defaulted) || !present || !sacl) {
    return std::nullopt;
  }
  for (DWORD i = 0; i < sacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(sacl, i, &ace)) break;
    if (static_cast<ACE_HEADER*>(ace)->AceType != SYSTEM_MANDATORY_LABEL_ACE_TYPE) continue;
    auto* label = static_cast<SYSTEM_MANDATORY_LABEL_ACE*>(ace);
    char* sid = nullptr;
    if (!ConvertSidToStringSidA(&label->SidStart, &sid)) return std::nullopt;
    char mask[16];
    std::snprintf(mask, sizeof mask, "0x%lx", static_cast<unsigned long>(label->Mask));
    std::string text = std::string("ML;") + mask + ";" + sid;
    LocalFree(sid);
    return text;
  }
  return std::nullopt;
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

// Every installed file: its name, and where the build makes it.
const struct {
  const char* name;
  bool bits64;
  const char* distName;
} kSuiteFiles[] = {
    {"VendrolixTray.exe", false, "VendrolixTray.exe"},     {"VendrolixPro.exe", false, "VendrolixPro.exe"},
    {"VendrolixIEDLL.dll", false, "VendrolixIEDLL.dll"},   {"CookieCleaner.dll", false, "CookieCleaner.dll"},
    {"Block.wav", false, "Block.wav"},                     {"VendrolixHelp.chm", false, "VendrolixHelp.chm"},
    {"VendrolixIEDLL64.dll", true, "VendrolixIEDLL.dll"},  {"CookieCleaner64.dll", true, "CookieCleaner.dll"},
};
// The Group Policy templates, shipped for administrators to copy.
const char* const kPolicyTemplates[] = {"PolicyDefinitions\\Vendrolix.admx",
                                        "PolicyDefinitions\\en-US\\Vendrolix.adml"};
const char* const kShortcuts[] = {"Vendrolix Pro.lnk", "Vendrolix Help.lnk", "Uninstall Vendrolix.lnk"};
const REGSAM kViews[] = {KEY_WOW64_32KEY, KEY_WOW64_64KEY};

std::string ServerKey(const char* clsid) { return std::string("CLSID\\") + clsid + "\\InprocServer32"; }

}  // namespace

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string HelperListingKey() { return std::string(kBrowserHelperObjectsKey) + "\\" + kHelperClsid; }

void ExpectInstalledGrants(const std::string& folder) {
  for (const KeyGrant& grant : kKeyGrants) {
    SCOPED_TRACE(grant.key);
    const auto expected = CanonicalSddl(grant.dacl, DACL_SECURITY_INFORMATION);
    ASSERT_TRUE(expected.has_value());
    EXPECT_EQ(KeySecurity(HKEY_LOCAL_MACHINE, grant.key, DACL_SECURITY_INFORMATION), expected);
    EXPECT_EQ(LabelOf(HKEY_LOCAL_MACHINE, grant.key), grant.label);
  }
  for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
    SCOPED_TRACE(view == KEY_WOW64_32KEY ? "32-bit view" : "64-bit view");
    EXPECT_EQ(GetText(HKEY_LOCAL_MACHINE, kElevationPolicyKey, "AppName", view), "VendrolixTray.exe");
    const auto path = GetText(HKEY_LOCAL_MACHINE, kElevationPolicyKey, "AppPath", view);
    EXPECT_TRUE(path && EqualsNoCase(*path, folder)) << path.value_or("(missing)") << " for " << folder;
    EXPECT_EQ(GetDword(HKEY_LOCAL_MACHINE, kElevationPolicyKey, "Policy", view), 3u);
  }
}

void ExpectNoElevationPolicy() {
  for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kElevationPolicyKey, view));
  }
}

std::string InstallFolder() {
  char buffer[MAX_PATH] = {};
  DWORD n = ExpandEnvironmentStringsA("%ProgramFiles(x86)%", buffer, MAX_PATH);
  std::string folder = (n > 0 && n <= MAX_PATH) ? std::string(buffer) : std::string();
  if (folder.empty() || folder.find('%') != std::string::npos) {
    ExpandEnvironmentStringsA("%ProgramFiles%", buffer, MAX_PATH);
    folder = std::string(buffer);
  }
  return folder + "\\Vendrolix";
}

std::string StartMenuFolder(bool allUsers) {
  char buffer[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, allUsers ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, buffer);
  return std::string(buffer) + "\\Vendrolix";
}

void ExpectSuiteInstalled(const std::string& folder, const std::string& menu, const std::string& dist32,
                          const std::string& dist64) {
  for (const auto& file : kSuiteFiles) {
    const auto installed = ReadFileBytes(folder + "\\" + file.name);
    EXPECT_TRUE(installed.has_value()) << file.name;
    EXPECT_EQ(installed, ReadFileBytes(WinePath((file.bits64 ? dist64 : dist32) + "/" + file.distName))) << file.name;
  }
  if (const auto wav = ReadFileBytes(folder + "\\Block.wav")) ExpectPlayableWave(*wav);
  for (const char* name : kPolicyTemplates) {
    const auto installed = ReadFileBytes(folder + "\\" + name);
    EXPECT_TRUE(installed && installed->find("PolicyDefinitions\"") != std::string::npos) << name;
  }

  // The settings key in the suite's view, with cleaning off; what users and
  // the browser at low integrity may write, and the tray in the browser's
  // elevation policy.
  EXPECT_EQ(GetText(HKEY_LOCAL_MACHINE, kSettingsKey, value::FirstStart), "1");
  EXPECT_EQ(GetText(HKEY_LOCAL_MACHINE, kManagerKey, value::AutoClean), "0");
  EXPECT_EQ(GetText(HKEY_LOCAL_MACHINE, kManagerKey, value::NSAutoClean), "0");
  ExpectInstalledGrants(folder);

  // Each class once per view, each view with the file of its own bitness;
  // the helper listed where each bitness of browser looks.
  for (REGSAM view : kViews) {
    SCOPED_TRACE(view == KEY_WOW64_32KEY ? "32-bit view" : "64-bit view");
    const std::string suffix = view == KEY_WOW64_64KEY ? "64.dll" : ".dll";
    const auto helper = GetText(HKEY_CLASSES_ROOT, ServerKey(kHelperClsid), "", view);
    const auto cleaner = GetText(HKEY_CLASSES_ROOT, ServerKey(kCleanerClsid), "", view);
    EXPECT_TRUE(helper && EqualsNoCase(*helper, folder + "\\VendrolixIEDLL" + suffix)) << helper.value_or("(none)");
    EXPECT_TRUE(cleaner && EqualsNoCase(*cleaner, folder + "\\CookieCleaner" + suffix)) << cleaner.value_or("(none)");
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, HelperListingKey(), view));
  }
  {
    // This 64-bit process gets the 64-bit cleaner, which refuses a wrong code.
    win32::ScopedCoInit com;
    Microsoft::WRL::ComPtr<ICookieCleaner> cleaner;
    EXPECT_EQ(CoCreateInstance(CLSID_CookieCleaner, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&cleaner)), S_OK);
    if (cleaner) {
      BSTR code = SysAllocString(L"NOT THE CODE");
      EXPECT_EQ(cleaner->CleanIECookies(&code), E_ACCESSDENIED);
      SysFreeString(code);
    }
  }

  for (const char* name : kShortcuts) EXPECT_TRUE(Exists(menu + "\\" + name)) << menu << "\\" << name;
}

void ExpectSuiteRemoved(const std::string& folder, const std::string& menu) {
  for (const auto& file : kSuiteFiles) EXPECT_FALSE(Exists(folder + "\\" + file.name)) << file.name;
  for (const char* name : {"Uninstall.exe", "VendrolixSettings.exe"}) EXPECT_FALSE(Exists(folder + "\\" + name)) << name;
  for (const char* name : kPolicyTemplates) EXPECT_FALSE(Exists(folder + "\\" + name)) << name;
  EXPECT_FALSE(Exists(folder + "\\PolicyDefinitions")) << "the templates' folders";
  EXPECT_FALSE(Exists(menu)) << menu;
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kSettingsKey));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Tervanic"));
  for (REGSAM view : kViews) {
    SCOPED_TRACE(view == KEY_WOW64_32KEY ? "32-bit view" : "64-bit view");
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ServerKey(kHelperClsid), view));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ServerKey(kCleanerClsid), view));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, HelperListingKey(), view));
  }
  ExpectNoElevationPolicy();
}

void ExpectInstalledHelperBlocksPopUp(const std::string& browser, REGSAM view, const std::string& helperFile) {
  ASSERT_FALSE(browser.empty()) << "no browser stand-in given";
  const auto server = GetText(HKEY_CLASSES_ROOT, ServerKey(kHelperClsid), "", view);
  ASSERT_TRUE(server.has_value());
  EXPECT_TRUE(EndsWithNoCase(*server, helperFile)) << *server;

  ScratchFolder scratch("installed-helper");
  const auto run =
      RunScenario(scratch, browser, "open W1\nnavigate W1 http://www.popups.example.net/\ntitle W1 Pop-ups\nnewwindow W1\nclose W1\n",
                  std::chrono::seconds(120));
  ASSERT_TRUE(run.finished && run.exitCode == 0) << run.output;
  EXPECT_NE(run.output.find("open W1 helpers 1"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("newwindow W1 cancelled"), std::string::npos) << run.output;
}

namespace {
std::string UnixPathOf(const std::string& windowsPath) {
  using ToUnix = char*(CDECL*)(LPCWSTR);
  const auto toUnix =
      reinterpret_cast<ToUnix>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name"));
  const auto slash = windowsPath.find_last_of('\\');
  if (!toUnix || slash == std::string::npos) return {};
  const std::string parent = windowsPath.substr(0, slash);
  const std::wstring wide(parent.begin(), parent.end());
  char* unixParent = toUnix(wide.c_str());
  if (!unixParent) return {};
  std::string path = std::string(unixParent) + "/" + windowsPath.substr(slash + 1);
  HeapFree(GetProcessHeap(), 0, unixParent);
  return path;
}
// A symbolic link to target (both Windows paths), removed with the object.
// Wine 8 makes no reparse point itself (mklink /J, FSCTL_SET_REPARSE_POINT
// and CreateSymbolicLink fail or do nothing) but shows a Unix symbolic link
// as one, so ln makes it from the Unix side.
class FolderLink {
 public:
  FolderLink(const std::string& link, const std::string& target);
  ~FolderLink();
  // Whether Windows sees a reparse point there.
  bool made() const;

 private:
  std::string link_;
  std::string unixLink_;
};

FolderLink::FolderLink(const std::string& link, const std::string& target) : link_(link), unixLink_(UnixPathOf(link)) {
  const std::string unixTarget = UnixPathOf(target);
  if (unixLink_.empty() || unixTarget.empty()) return;
  RunProcess("Z:\\bin\\ln -sfn " + Quote(unixTarget) + " " + Quote(unixLink_));
}
FolderLink::~FolderLink() {
  if (!unixLink_.empty()) RunProcess("Z:\\bin\\rm -f " + Quote(unixLink_));
}
bool FolderLink::made() const {
  const DWORD attributes = GetFileAttributesA(link_.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// How many entries folder holds.
int EntriesIn(const std::string& folder) {
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int count = 0;
  do {
    if (std::strcmp(found.cFileName, ".") != 0 && std::strcmp(found.cFileName, "..") != 0) ++count;
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return count;
}

}  // namespace

void ExpectRefusedThroughLink(const std::function<void(const std::string& folder)>& install) {
  ScratchFolder target("link-target");
  const std::string link = "C:\\VendrolixLink";
  FolderLink made(link, target.path());
  ASSERT_TRUE(made.made());
  for (const std::string& folder : {link, link + "\\Vendrolix"}) {
    SCOPED_TRACE(folder);
    install(folder);
    EXPECT_EQ(EntriesIn(target.path()), 0);
  }
}

}  // namespace vendrolix::test
