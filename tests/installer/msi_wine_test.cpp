// The Windows Installer package under Wine's own Windows Installer (msiexec):
// a silent installation leaves what the setup program leaves, its registry
// rows are what the components' own registration writes, the public
// properties set the first values and refuse wrong ones, an upgrade keeps
// what the user made and chose, removal leaves only the user's lists (or not
// even those when asked), it refuses to join the setup program's
// installation, and the bench's browser blocks a pop-up with the installed
// helper.
#include <windows.h>
#include <msi.h>

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "installer_support.h"
#include "settings.h"
#include "text.h"
#include "win32/handles.h"
#include "wine_support.h"

namespace vendrolix {
namespace {

using test::GetText;
using test::Exists;
using test::KeyExists;

constexpr UINT kMsiFailed = 1603;  // ERROR_INSTALL_FAILURE: a launch condition refused, or a step failed

struct MsiRun {
  DWORD exitCode = 0;
  std::string log;
};

// msiexec with no user interface; the log says why it refused.
MsiRun Msiexec(const std::string& arguments) {
  test::ScratchFolder scratch("msiexec");
  const std::string log = scratch.File("msi.log");
  const auto run = test::RunProcess("msiexec.exe /qn /l*v " + test::Quote(log) + " " + arguments,
                                    std::chrono::seconds(180));
  EXPECT_TRUE(run.finished) << run.output;
  return MsiRun{run.exitCode, test::ReadFileBytes(log).value_or("")};
}

// msiexec with its basic user interface, as an administrator sees it: a
// refusal shows its reason in a message box, read and closed here. (With no
// user interface at all Wine's Windows Installer logs no reason.)
struct Refusal {
  DWORD exitCode = 0;
  std::string shown;  // the message box's text
};
// A message box's text, when window is one (an OK button beside a text);
// its OK is clicked.
std::string ReadAndClose(HWND window) {
  HWND ok = FindWindowExA(window, nullptr, "Button", "OK");
  if (!ok) return "";
  for (HWND text = FindWindowExA(window, nullptr, "Static", nullptr); text;
       text = FindWindowExA(window, text, "Static", nullptr)) {
    const std::string shown = test::WindowText(text);
    if (shown.empty()) continue;
    PostMessageA(ok, BM_CLICK, 0, 0);
    return shown;
  }
  return "";
}

Refusal InstallShowingRefusal(const std::string& package, const std::string& properties) {
  test::StartedProgram msiexec("msiexec.exe /qb /i " + test::Quote(test::WinePath(package)) + " " + properties);
  Refusal refusal;
  if (!msiexec.started()) {
    ADD_FAILURE() << "msiexec did not start";
    return refusal;
  }
  test::WaitUntil(
      [&] {
        for (HWND window : test::TopWindows(IsWindowVisible)) {
          if (refusal.shown.empty()) refusal.shown = ReadAndClose(window);
        }
        return msiexec.Ended();
      },
      std::chrono::seconds(120), std::chrono::milliseconds(200));
  if (!msiexec.Ended()) ADD_FAILURE() << "msiexec did not end; shown: " << refusal.shown;
  msiexec.End();
  refusal.exitCode = msiexec.ExitCode().value_or(1);
  return refusal;
}

std::string ProductInfo(const std::string& product, const char* property) {
  char value[256] = {};
  DWORD size = sizeof value;
  if (MsiGetProductInfoA(product.c_str(), property, value, &size) != ERROR_SUCCESS) return "(none)";
  return value;
}

// The installed products named Vendrolix. Not by the upgrade code: when
// Wine's Windows Installer removes the older version of an upgrade it drops
// the upgrade code's whole registration, the newer version's with it, and a
// leftover installation would then escape the next case's clean-up.
std::vector<std::string> InstalledProducts() {
  std::vector<std::string> products;
  char product[39] = {};
  for (DWORD i = 0; MsiEnumProductsA(i, product) == ERROR_SUCCESS; ++i) {
    if (ProductInfo(product, INSTALLPROPERTY_INSTALLEDPRODUCTNAME) == "Vendrolix") products.emplace_back(product);
  }
  return products;
}

const char* const kLists[] = {file::WhiteList, file::IeKeepList, file::NsKeepList};
const char* const kListText = "1\r\nexample\r\n";

class MsiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(test::Arg("msi").empty());
    RemoveInstalled();
    test::DeleteKeyTree(HKEY_LOCAL_MACHINE, kSettingsKey);
    folder_ = test::InstallFolder();
    // Wine's Windows Installer puts the Start menu of a per-machine package
    // in the installing user's menu; Windows puts it in all users' menu.
    menu_ = test::StartMenuFolder(true);
  }
  void TearDown() override {
    RemoveInstalled();
    test::DeleteKeyTree(HKEY_LOCAL_MACHINE, kSettingsKey);
    for (const char* name : kLists) DeleteFileA((folder_ + "\\" + name).c_str());
    RemoveDirectoryA(folder_.c_str());
  }
  static void RemoveInstalled() {
    for (const auto& product : InstalledProducts()) Msiexec("/x " + product);
  }

  MsiRun Install(const std::string& package, const std::string& properties = "") {
    return Msiexec("/i " + test::Quote(test::WinePath(package)) + (properties.empty() ? "" : " " + properties));
  }
  void InstallOk(const std::string& properties = "") {
    const auto run = Install(test::Arg("msi"), properties);
    ASSERT_EQ(run.exitCode, 0u) << run.log.substr(run.log.size() > 4000 ? run.log.size() - 4000 : 0);
    if (!Exists(menu_)) menu_ = test::StartMenuFolder(false);
  }
  void Uninstall(const std::string& properties = "") {
    const auto products = InstalledProducts();
    ASSERT_EQ(products.size(), 1u);
    const auto run = Msiexec("/x " + products[0] + (properties.empty() ? "" : " " + properties));
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(InstalledProducts().empty());
  }
  void WriteLists() {
    for (const char* name : kLists) ASSERT_TRUE(test::WriteFileBytes(folder_ + "\\" + name, kListText));
  }
  std::optional<std::string> Setting(const char* name) {
    return GetText(HKEY_LOCAL_MACHINE, SettingsKeyOf(name), name);
  }

  std::string folder_;
  std::string menu_;
};

// Cases that need a 32-bit program beside the package's 64-bit installation.
class MsiNeeds32BitTest : public MsiTest {
 protected:
  void SetUp() override {
    VENDROLIX_SKIP_WITHOUT_32BIT("a 32-bit program");
    MsiTest::SetUp();
  }
};

TEST_F(MsiTest, SilentInstallPutsEverythingInPlaceAndRemovalLeavesTheUsersLists) {
  InstallOk();
  test::ExpectSuiteInstalled(folder_, menu_, test::Arg("dist32"), test::Arg("dist64"));
  EXPECT_TRUE(Exists(folder_ + "\\VendrolixSettings.exe"));
  const auto products = InstalledProducts();
  ASSERT_EQ(products.size(), 1u);
  EXPECT_EQ(ProductInfo(products[0], INSTALLPROPERTY_INSTALLEDPRODUCTNAME), "Vendrolix");
  EXPECT_EQ(ProductInfo(products[0], INSTALLPROPERTY_PUBLISHER), "Tervanic");
  EXPECT_EQ(ProductInfo(products[0], INSTALLPROPERTY_VERSIONSTRING), test::Arg("version"));

  WriteLists();
  Uninstall();
  test::ExpectSuiteRemoved(folder_, menu_);
  for (const char* name : kLists) EXPECT_EQ(test::ReadFileBytes(folder_ + "\\" + name), kListText) << name;
}

// The keys under Software\Classes that the components' registration writes.
// Since Windows 7 a programmatic identifier's key is one for both views
// (only CLSID and Interface, among these, are kept apart): a 32-bit
// component's rows and a 32-bit self-registration both land in it. Wine
// keeps that one key where a 64-bit registration puts it, but files the
// package's 32-bit rows under the 32-bit view of their own, so such a key is
// read in both views as one.
struct RegistrationKey {
  const char* path;
  bool shared;
};
const RegistrationKey kRegistrationKeys[] = {
    {"CLSID\\{A94EDD52-85B3-472F-8BC0-D651D760FBF8}", false},
    {"CLSID\\{CCD21D21-7305-4FED-8714-0436099AF281}", false},
    {"VendrolixIEDLL.CVendrolixIEDLL", true},
    {"Vendrolix.CookieCleaner", true},
    {"Vendrolix.CookieCleaner.1", true},
    {"TypeLib\\{37D27E0A-E4BA-478F-A4DA-275FFE975E29}", false},
    {"TypeLib\\{5B0E6C61-2F4D-4C7A-9E3B-7A1D2C9F4E10}", false},
    {"Interface\\{DB63A522-CC49-4AB0-9D9C-76710760AB94}", false},
    {"Interface\\{3983CEBE-0204-4B8C-B92C-99763B3909D4}", false}};

// Every key and value under them, by path and name in upper case (Windows
// compares both that way), in one view (and a shared key in both). A folder
// may or may not end with its backslash.
std::map<std::string, std::string> Registrations(REGSAM view) {
  std::map<std::string, std::string> values;
  struct Walker {
    REGSAM view;
    std::map<std::string, std::string>& values;
    void Walk(const std::string& path) {
      HKEY opened = nullptr;
      if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ("Software\\Classes\\" + path).c_str(), 0, KEY_READ | view, &opened) !=
          ERROR_SUCCESS) {
        return;
      }
      win32::UniqueHKey key(opened);
      values.emplace(ToUpper(path) + "\\", "(key)");
      for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameSize = sizeof name;
        BYTE data[1024];
        DWORD dataSize = sizeof data;
        DWORD type = 0;
        if (RegEnumValueA(key.get(), i, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS) break;
        std::string text(reinterpret_cast<const char*>(data), dataSize);
        while (!text.empty() && text.back() == '\0') text.pop_back();
        if (!text.empty() && text.back() == '\\') text.pop_back();
        auto [row, added] = values.emplace(ToUpper(path) + "\\" + ToUpper(std::string(name, nameSize)), text);
        if (added) continue;
        if (row->second == "(key)") {
          row->second = text;  // the key's default value
        } else if (row->second != text) {
          row->second += " | " + text;  // a shared key that holds another value in each view
        }
      }
      std::vector<std::string> children;
      for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameSize = sizeof name;
        if (RegEnumKeyExA(key.get(), i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        children.emplace_back(name, nameSize);
      }
      for (const auto& child : children) Walk(path + "\\" + child);
    }
  };
  for (const auto& root : kRegistrationKeys) {
    for (REGSAM each : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
      if (each == view || root.shared) Walker{each, values}.Walk(root.path);
    }
  }
  return values;
}

// Each row the two sets do not share, named: gtest would print only the
// first 32 rows of each map, and the difference may lie past them.
std::string RowDifferences(const std::map<std::string, std::string>& package,
                           const std::map<std::string, std::string>& registered) {
  std::string text;
  for (const auto& [path, value] : package) {
    const auto other = registered.find(path);
    if (other == registered.end()) {
      text += "\n  only the package: " + path + " = " + value;
    } else if (other->second != value) {
      text += "\n  differs: " + path + " = " + value + " (registered: " + other->second + ")";
    }
  }
  for (const auto& [path, value] : registered) {
    if (!package.count(path)) text += "\n  only self-registration: " + path + " = " + value;
  }
  return text;
}

// The package writes registry rows, not self-registration: they must be
// exactly what the components' own registration (regsvr32 of that bitness)
// writes in that view, and removal must take every one of them away.
void ExpectRowsAreTheSelfRegistration(REGSAM view, const std::string& folder, const std::string& menu,
                                      const std::string& dist, const std::string& regsvr32) {
  const auto installed = Registrations(view);
  ASSERT_FALSE(installed.empty());
  const std::string suffix = view == KEY_WOW64_64KEY ? "64.dll" : ".dll";

  for (const auto& product : InstalledProducts()) Msiexec("/x " + product);
  for (REGSAM each : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) EXPECT_TRUE(Registrations(each).empty());
  test::ExpectSuiteRemoved(folder, menu);

  // The same files at the same place, registered by themselves.
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string files[] = {folder + "\\VendrolixIEDLL" + suffix, folder + "\\CookieCleaner" + suffix};
  const char* const sources[] = {"/VendrolixIEDLL.dll", "/CookieCleaner.dll"};
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(CopyFileA(test::WinePath(dist + sources[i]).c_str(), files[i].c_str(), FALSE));
    const auto run = test::RunProcess(test::Quote(regsvr32) + " /s " + test::Quote(files[i]));
    EXPECT_TRUE(run.finished && run.exitCode == 0) << files[i] << run.output;
  }
  const auto registered = Registrations(view);
  for (const auto& file : files) {
    test::RunProcess(test::Quote(regsvr32) + " /s /u " + test::Quote(file));
    DeleteFileA(file.c_str());
  }
  // Wine's type library registration also writes the other view.
  for (REGSAM each : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
    for (const auto& key : kRegistrationKeys) {
      test::DeleteKeyTree(HKEY_LOCAL_MACHINE, std::string("Software\\Classes\\") + key.path, each);
    }
  }
  RemoveDirectoryA(folder.c_str());
  // A type library's key may be one for both views (it is under Wine): the
  // other bitness's file there is the other component's.
  const std::string other = view == KEY_WOW64_64KEY ? "\\0\\WIN32\\" : "\\0\\WIN64\\";
  auto mine = installed;
  for (auto entry = mine.begin(); entry != mine.end();) {
    entry = entry->first.find(other) != std::string::npos ? mine.erase(entry) : std::next(entry);
  }
  EXPECT_TRUE(mine == registered) << RowDifferences(mine, registered);
}

std::string SystemProgram(bool native, const char* name) {
  char folder[MAX_PATH] = {};
  if (native) {
    GetSystemDirectoryA(folder, MAX_PATH);
  } else {
    GetSystemWow64DirectoryA(folder, MAX_PATH);
  }
  return std::string(folder) + "\\" + name;
}

TEST_F(MsiTest, RegistryRowsAreWhatThe64BitComponentsRegister) {
  InstallOk();
  ExpectRowsAreTheSelfRegistration(KEY_WOW64_64KEY, folder_, menu_, test::Arg("dist64"),
                                   SystemProgram(true, "regsvr32.exe"));
}

TEST_F(MsiNeeds32BitTest, RegistryRowsAreWhatThe32BitComponentsRegister) {
  InstallOk();
  ExpectRowsAreTheSelfRegistration(KEY_WOW64_32KEY, folder_, menu_, test::Arg("dist32"),
                                   SystemProgram(false, "regsvr32.exe"));
}

// The public properties and what a user already chose: the settings the
// installation leaves, a wrong value refused with its reason, and removal
// keeping the user's lists unless told otherwise.
TEST_F(MsiTest, PublicPropertiesSetTheFirstValuesAndRemovalKeepsOrDeletesTheLists) {
  using Values = std::map<std::string, std::optional<std::string>>;
  const struct {
    const char* name;
    Values before;            // in the settings key before the installation
    const char* properties;   // on the installation's command line
    const char* refusal;      // the log's reason when it must be refused
    Values after;
    const char* removal;      // on the removal's command line
    bool listsKept;
  } cases[] = {
      {"level and cleaning given", {}, "BLOCKLEVEL=4 AUTOCLEAN=1", nullptr,
       {{value::Popup, "4"}, {value::FirstStart, std::nullopt}, {value::AutoClean, "1"}, {value::NSAutoClean, "1"}},
       "KEEPLISTS=0", false},
      {"cleaning off given over a user's switch", {{value::AutoClean, "1"}}, "AUTOCLEAN=0", nullptr,
       {{value::FirstStart, "1"}, {value::AutoClean, "0"}, {value::NSAutoClean, "0"}}, "KEEPLISTS=1", true},
      {"what a user chose is kept", {{value::AutoClean, "1"}, {value::Popup, "3"}}, "", nullptr,
       {{value::Popup, "3"}, {value::FirstStart, std::nullopt}, {value::AutoClean, "1"}, {value::NSAutoClean, "0"}},
       "", true},
      {"a level out of range", {}, "BLOCKLEVEL=7", "BLOCKLEVEL must be 0", {}, nullptr, false},
      {"a word for cleaning", {}, "AUTOCLEAN=yes", "AUTOCLEAN must be 1", {}, nullptr, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::DeleteKeyTree(HKEY_LOCAL_MACHINE, kSettingsKey);
    for (const auto& [name, data] : c.before) {
      test::SetText(HKEY_LOCAL_MACHINE, SettingsKeyOf(name.c_str()), name, *data);
    }
    if (c.refusal) {
      const auto refused = InstallShowingRefusal(test::Arg("msi"), c.properties);
      EXPECT_EQ(refused.exitCode, kMsiFailed);
      EXPECT_NE(refused.shown.find(c.refusal), std::string::npos) << refused.shown;
      EXPECT_TRUE(InstalledProducts().empty());
      EXPECT_FALSE(Exists(folder_ + "\\VendrolixTray.exe"));
      EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kSettingsKey));
      continue;
    }
    InstallOk(c.properties);
    for (const auto& [name, data] : c.after) EXPECT_EQ(Setting(name.c_str()), data) << name;
    test::ExpectInstalledGrants(folder_);
    WriteLists();
    Uninstall(c.removal);
    test::ExpectSuiteRemoved(folder_, menu_);
    for (const char* name : kLists) EXPECT_EQ(Exists(folder_ + "\\" + name), c.listsKept) << name;
    EXPECT_EQ(Exists(folder_), c.listsKept);
    for (const char* name : kLists) DeleteFileA((folder_ + "\\" + name).c_str());
  }
}

// An older version's installation is replaced, not joined: one product, of
// this version, with the user's lists, level, sound and switches as they
// were; an older package over this one is refused.
TEST_F(MsiTest, UpgradeKeepsTheUsersListsAndSwitchesAndAnOlderPackageIsRefused) {
  ASSERT_FALSE(test::Arg("older-msi").empty());
  const auto older = Install(test::Arg("older-msi"), "BLOCKLEVEL=3");
  ASSERT_EQ(older.exitCode, 0u);
  // What the user then did with the tray and the manager, the manager's
  // values and the browser's count where versions before the split kept
  // them, which users may write: the upgrade carries the cookie view, the
  // cleaning switch only as off, the profile's path not at all, drops the
  // machine-wide count (each user's own now), and leaves no copy there.
  for (const char* key : {kBrowserKey, kManagerKey}) test::DeleteKeyTree(HKEY_LOCAL_MACHINE, key);
  test::SetText(HKEY_LOCAL_MACHINE, kSettingsKey, value::Popup, "4");
  test::SetText(HKEY_LOCAL_MACHINE, kSettingsKey, value::Sound, "2");
  test::SetText(HKEY_LOCAL_MACHINE, kSettingsKey, value::AutoClean, "1");
  test::SetText(HKEY_LOCAL_MACHINE, kSettingsKey, value::OptionCookie, "0");
  test::SetText(HKEY_LOCAL_MACHINE, kSettingsKey, value::PathNSCookie, "C:\\planted\\profile.slt");
  test::SetText(HKEY_LOCAL_MACHINE, kSettingsKey, value::CountIE, "3");
  WriteLists();

  InstallOk();
  const auto products = InstalledProducts();
  ASSERT_EQ(products.size(), 1u);
  EXPECT_EQ(ProductInfo(products[0], INSTALLPROPERTY_VERSIONSTRING), test::Arg("version"));
  EXPECT_EQ(Setting(value::Popup), "4");
  EXPECT_EQ(Setting(value::Sound), "2");
  EXPECT_EQ(Setting(value::AutoClean), "0");
  EXPECT_EQ(Setting(value::NSAutoClean), "0");
  EXPECT_EQ(Setting(value::OptionCookie), "0");
  EXPECT_EQ(Setting(value::PathNSCookie), std::nullopt);
  // The count is each user's own now: the machine's copy goes, to no one.
  EXPECT_EQ(GetText(HKEY_LOCAL_MACHINE, kBrowserKey, value::CountIE), std::nullopt);
  EXPECT_EQ(Setting(value::FirstStart), std::nullopt);
  for (const char* moved : {value::AutoClean, value::OptionCookie, value::PathNSCookie, value::CountIE}) {
    EXPECT_EQ(GetText(HKEY_LOCAL_MACHINE, kSettingsKey, moved), std::nullopt) << moved;
  }
  test::ExpectInstalledGrants(folder_);
  for (const char* name : kLists) EXPECT_EQ(test::ReadFileBytes(folder_ + "\\" + name), kListText) << name;
  EXPECT_TRUE(Exists(folder_ + "\\VendrolixIEDLL64.dll"));

  const auto downgrade = InstallShowingRefusal(test::Arg("older-msi"), "");
  EXPECT_EQ(downgrade.exitCode, kMsiFailed);
  EXPECT_NE(downgrade.shown.find("A newer version of Vendrolix is already installed"), std::string::npos)
      << downgrade.shown;
  ASSERT_EQ(InstalledProducts(), products);
  EXPECT_EQ(Setting(value::Popup), "4");

  Uninstall();
  test::ExpectSuiteRemoved(folder_, menu_);
}

// A repair or a change, which a standard user may start for a per-machine
// package with properties of their own, applies the grants again and takes
// no property; a manager value planted in the settings key is gone after it.
TEST_F(MsiTest, RepairTakesNoPropertyAndDropsPlantedManagerValues) {
  InstallOk("AUTOCLEAN=0 BLOCKLEVEL=1");
  const auto products = InstalledProducts();
  ASSERT_EQ(products.size(), 1u);
  test::SetText(HKEY_LOCAL_MACHINE, kSettingsKey, value::AutoClean, "1");
  test::SetText(HKEY_LOCAL_MACHINE, kSettingsKey, value::PathNSCookie, "C:\\planted\\profile.slt");
  // What msiexec /fa does, with properties (Wine's msiexec ends /fa with
  // exit code 1).
  const auto run = Msiexec("/i " + products[0] + " REINSTALL=ALL REINSTALLMODE=omus AUTOCLEAN=1 BLOCKLEVEL=4");
  EXPECT_EQ(run.exitCode, 0u) << run.log.substr(run.log.size() > 4000 ? run.log.size() - 4000 : 0);
  EXPECT_EQ(Setting(value::AutoClean), "0");
  EXPECT_EQ(Setting(value::NSAutoClean), "0");
  EXPECT_EQ(Setting(value::Popup), "1");
  for (const char* name : {value::AutoClean, value::PathNSCookie}) {
    EXPECT_EQ(GetText(HKEY_LOCAL_MACHINE, kSettingsKey, name), std::nullopt) << name;
  }
  EXPECT_EQ(Setting(value::PathNSCookie), std::nullopt);
  test::ExpectInstalledGrants(folder_);
}

// A folder that is, or lies below, a reparse point fails the installation
// before anything is copied, and nothing lands where the link leads.
TEST_F(MsiTest, RefusesAFolderReachedThroughALink) {
  test::ExpectRefusedThroughLink([this](const std::string& folder) {
    // Wine's Windows Installer ends a failed step with 1627, Windows with 1603.
    EXPECT_NE(Install(test::Arg("msi"), "INSTALLDIR=" + folder).exitCode, 0u);
    EXPECT_TRUE(InstalledProducts().empty());
  });
}

// What the setup program leaves (its files, settings and Add/Remove Programs
// entry, written here as it writes them: the setup program is a 32-bit
// program): the package refuses to install beside it, says why, and touches
// none of it.
TEST_F(MsiTest, RefusesToInstallBesideTheSetupProgramsInstallation) {
  CreateDirectoryA(folder_.c_str(), nullptr);
  const std::string tray = folder_ + "\\VendrolixTray.exe";
  const std::string uninstaller = folder_ + "\\Uninstall.exe";
  ASSERT_TRUE(CopyFileA(test::WinePath(test::Arg("dist32") + "/VendrolixTray.exe").c_str(), tray.c_str(), FALSE));
  ASSERT_TRUE(test::WriteFileBytes(uninstaller, "MZ"));
  test::SetText(HKEY_LOCAL_MACHINE, kSettingsKey, value::FirstStart, "1");
  test::SetText(HKEY_LOCAL_MACHINE, test::kSetupUninstallKey, "DisplayName", "Vendrolix");
  test::SetText(HKEY_LOCAL_MACHINE, test::kSetupUninstallKey, "UninstallString", "\"" + uninstaller + "\"");
  test::SetText(HKEY_LOCAL_MACHINE, test::kSetupUninstallKey, "QuietUninstallString", "\"" + uninstaller + "\" /S");

  const auto refused = InstallShowingRefusal(test::Arg("msi"), "");
  EXPECT_EQ(refused.exitCode, kMsiFailed);
  EXPECT_NE(refused.shown.find("already installed by its setup program"), std::string::npos) << refused.shown;
  EXPECT_TRUE(InstalledProducts().empty());
  EXPECT_EQ(test::ReadFileBytes(tray), test::ReadFileBytes(test::WinePath(test::Arg("dist32") + "/VendrolixTray.exe")));
  EXPECT_FALSE(Exists(folder_ + "\\VendrolixSettings.exe"));
  EXPECT_EQ(Setting(value::FirstStart), "1");
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, test::HelperListingKey(), KEY_WOW64_64KEY));

  test::DeleteKeyTree(HKEY_LOCAL_MACHINE, test::kSetupUninstallKey);
  DeleteFileA(tray.c_str());
  DeleteFileA(uninstaller.c_str());
}

TEST_F(MsiTest, InstalledHelperBlocksAPopUpInThe64BitBrowser) {
  InstallOk();
  test::ExpectInstalledHelperBlocksPopUp(test::Arg("iexplore64"), KEY_WOW64_64KEY, "\\Vendrolix\\VendrolixIEDLL64.dll");
}

TEST_F(MsiNeeds32BitTest, InstalledHelperBlocksAPopUpInThe32BitBrowser) {
  InstallOk();
  test::ExpectInstalledHelperBlocksPopUp(test::Arg("iexplore32"), KEY_WOW64_32KEY, "\\Vendrolix\\VendrolixIEDLL.dll");
}

}  // namespace
}  // namespace vendrolix
