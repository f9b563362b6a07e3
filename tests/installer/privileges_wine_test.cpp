// What each shipped file carries and what the installation grants: the
// manifest read back from every program's resources, the version resource
// from every program and component (and the package's version), and the
// settings tool (the installer's grant steps, built as a 64-bit program) run
// in the prefix and read back from the registry.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>

#include "installer_support.h"
#include "settings.h"
#include "text.h"
#include "wine_support.h"

namespace vendrolix {
namespace {

// The manifest (resource type 24, id 1) of a program, read as data.
std::optional<std::string> ManifestOf(const std::string& program) {
  HMODULE module = LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!module) return std::nullopt;
  std::optional<std::string> text;
  if (HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))) {
    HGLOBAL loaded = LoadResource(module, found);
    const DWORD size = SizeofResource(module, found);
    if (loaded && size) text = std::string(static_cast<const char*>(LockResource(loaded)), size);
  }
  FreeLibrary(module);
  return text;
}

TEST(Manifests, EveryShippedProgramAsksForItsLevelOnWindows7To11) {
  const struct {
    std::string program;
    const char* level;
    bool commonControls6;  // the setup program's own pages; never our skinned ones
  } rows[] = {
      {test::Arg("dist32") + "/VendrolixTray.exe", "asInvoker", false},
      {test::Arg("dist64") + "/VendrolixTray.exe", "asInvoker", false},
      {test::Arg("dist32") + "/VendrolixPro.exe", "requireAdministrator", false},
      {test::Arg("dist64") + "/VendrolixPro.exe", "requireAdministrator", false},
      // The uninstaller is written by the setup program with the same manifest.
      {test::Arg("setup"), "requireAdministrator", true},
      {test::Arg("uninstaller"), "requireAdministrator", true},
      {test::Arg("settings-tool"), "requireAdministrator", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.program);
    const auto manifest = ManifestOf(test::WinePath(row.program));
    ASSERT_TRUE(manifest.has_value());
    EXPECT_NE(manifest->find(std::string("level=\"") + row.level + "\""), std::string::npos) << *manifest;
    EXPECT_NE(manifest->find("uiAccess=\"false\""), std::string::npos);
    for (const char* os : {"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
                           "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {
      EXPECT_NE(manifest->find(os), std::string::npos) << os;
    }
    EXPECT_EQ(manifest->find("Microsoft.Windows.Common-Controls") != std::string::npos, row.commonControls6);
  }
}

// One string of a version resource, in its first language.
std::string VersionString(const std::string& block, const char* name) {
  struct Translation {
    WORD language, codePage;
  }* translations = nullptr;
  UINT size = 0;
  if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations), &size) ||
      size < sizeof(Translation)) {
    return "(no translation)";
  }
  char path[64];
  std::snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\%s", translations[0].language,
                translations[0].codePage, name);
  char* text = nullptr;
  if (!VerQueryValueA(block.data(), path, reinterpret_cast<void**>(&text), &size) || !text) return "(none)";
  return std::string(text);
}

// Explorer and the browser's add-on manager show who made a file and its
// version from these; every shipped file has the build's one version.
TEST(VersionResources, EveryShippedFileNamesItsMakerAndTheBuildsVersion) {
  unsigned major = 0, minor = 0, patch = 0;
  const std::string version = test::Arg("version"), dist32 = test::Arg("dist32"), dist64 = test::Arg("dist64");
  ASSERT_EQ(std::sscanf(version.c_str(), "%u.%u.%u", &major, &minor, &patch), 3) << version;
  const std::string files[] = {
      dist32 + "/VendrolixTray.exe", dist32 + "/VendrolixPro.exe", dist32 + "/VendrolixIEDLL.dll",
      dist32 + "/CookieCleaner.dll", dist64 + "/VendrolixTray.exe", dist64 + "/VendrolixPro.exe",
      dist64 + "/VendrolixIEDLL.dll", dist64 + "/CookieCleaner.dll", test::Arg("settings-tool"), test::Arg("setup"),
      test::Arg("uninstaller")};
  for (const auto& file : files) {
    SCOPED_TRACE(file);
    const std::string path = test::WinePath(file);
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedSize) && fixed);
    EXPECT_EQ(fixed->dwFileVersionMS, (major << 16) | minor);
    EXPECT_EQ(fixed->dwFileVersionLS, patch << 16);
    EXPECT_EQ(fixed->dwProductVersionMS, (major << 16) | minor);
    EXPECT_EQ(fixed->dwProductVersionLS, patch << 16);
    EXPECT_EQ(VersionString(block, "CompanyName"), "Tervanic");
    EXPECT_EQ(VersionString(block, "ProductName"), "Vendrolix");
    EXPECT_EQ(VersionString(block, "FileVersion"), version);
    EXPECT_EQ(VersionString(block, "ProductVersion"), version);
    EXPECT_TRUE(StartsWithNoCase(VersionString(block, "FileDescription"), "Vendrolix"));
    EXPECT_TRUE(ContainsNoCase(VersionString(block, "LegalCopyright"), "Tervanic"));
    // What tells an installer that a COM server registers itself.
    void* selfRegister = nullptr;
    if (EndsWithNoCase(file, ".dll")) {
      EXPECT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\OLESelfRegister", &selfRegister,
                                 &fixedSize));
    }
  }

  // The package says the same in its own terms.
  MSIHANDLE database = 0;
  ASSERT_EQ(MsiOpenDatabaseA(test::WinePath(test::Arg("msi")).c_str(), MSIDBOPEN_READONLY, &database),
            static_cast<UINT>(ERROR_SUCCESS));
  for (const auto& [property, expected] : {std::pair<std::string, std::string>{"ProductVersion", version},
                                           {"Manufacturer", "Tervanic"}, {"ProductName", "Vendrolix"}}) {
    MSIHANDLE view = 0, record = 0;
    const std::string query = "SELECT `Value` FROM `Property` WHERE `Property`='" + property + "'";
    ASSERT_EQ(MsiDatabaseOpenViewA(database, query.c_str(), &view), static_cast<UINT>(ERROR_SUCCESS));
    MsiViewExecute(view, 0);
    std::string value = "(none)";
    if (MsiViewFetch(view, &record) == ERROR_SUCCESS) {
      char text[128] = {};
      DWORD length = sizeof text;
      if (MsiRecordGetStringA(record, 1, text, &length) == ERROR_SUCCESS) value = text;
      MsiCloseHandle(record);
    }
    MsiCloseHandle(view);
    EXPECT_EQ(value, expected) << property;
  }
  MsiCloseHandle(database);
}

// The grant steps of both installers, run by the package's settings tool in
// a folder of its own: the first values, the access list and label, the
// policy entry naming that folder, and at removal all of it gone. Without a
// mode, or with a wrong value, it changes nothing.
TEST(InstallerGrants, TheSettingsToolGrantsAndRemovesAndOtherwiseChangesNothing) {
  test::SettingsKey settings(/*present=*/false);
  test::ScratchFolder folder("grants");
  const std::string tool = test::Quote(test::WinePath(test::Arg("settings-tool")));
  for (const char* options : {"", "/install /level=9", "/install /autoclean=yes", "/rejoin /family={x} /product={y}"}) {
    SCOPED_TRACE(options);
    const auto run = test::RunProcess(tool + " " + options + " /D=" + folder.path());
    ASSERT_TRUE(run.finished) << run.output;
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, kSettingsKey));
    test::ExpectNoElevationPolicy();
  }

  // The folder step needs its folder named: its own is a temporary one.
  const auto unnamed = test::RunProcess(tool + " /folder");
  ASSERT_TRUE(unnamed.finished) << unnamed.output;
  EXPECT_EQ(unnamed.exitCode, 2u);

  // Values where versions before the split kept them: the cleaning switch
  // is carried over only as off, the count (each user's own now) not at all.
  test::SetText(HKEY_LOCAL_MACHINE, kSettingsKey, value::AutoClean, "1");
  test::SetText(HKEY_LOCAL_MACHINE, kSettingsKey, value::CountIE, "3");
  // Wine keeps no access list on a folder (it maps one to Unix mode bits
  // and makes one up when asked): that the folder is made and its list set
  // without an error is what shows here.
  const std::string installed = folder.path() + "\\Vendrolix";
  for (const char* step : {" /folder", " /install"}) {
    const auto grant = test::RunProcess(tool + step + " /D=" + installed);
    ASSERT_TRUE(grant.finished) << grant.output;
    EXPECT_EQ(grant.exitCode, 0u) << step << grant.output;
  }
  EXPECT_TRUE(test::Exists(installed));
  EXPECT_EQ(settings.Get(value::FirstStart), "1");
  EXPECT_EQ(settings.Get(value::AutoClean), "0");
  EXPECT_EQ(settings.Get(value::NSAutoClean), "0");
  EXPECT_EQ(test::GetText(HKEY_LOCAL_MACHINE, kBrowserKey, value::CountIE), std::nullopt);
  for (const char* moved : {value::AutoClean, value::CountIE}) {
    EXPECT_EQ(test::GetText(HKEY_LOCAL_MACHINE, kSettingsKey, moved), std::nullopt) << moved;
  }
  test::ExpectInstalledGrants(installed);

  const auto remove = test::RunProcess(tool + " /remove /D=" + folder.path());
  ASSERT_TRUE(remove.finished) << remove.output;
  EXPECT_EQ(remove.exitCode, 0u) << remove.output;
  test::ExpectNoElevationPolicy();
  EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, kSettingsKey));
}

}  // namespace
}  // namespace vendrolix
