// What each shipped program asks of Windows and what the installation
// grants: the manifest read back from every .exe's resources, and the
// installer's grant steps, built alone as a 64-bit program, run in the
// prefix and read back from the registry.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "installer_support.h"
#include "settings.h"
#include "wine_support.h"

namespace {
std::string g_dist32, g_dist64, g_setup, g_probe;  // Unix paths
}

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
      {g_dist32 + "/VendrolixTray.exe", "asInvoker", false},
      {g_dist64 + "/VendrolixTray.exe", "asInvoker", false},
      {g_dist32 + "/VendrolixPro.exe", "requireAdministrator", false},
      {g_dist64 + "/VendrolixPro.exe", "requireAdministrator", false},
      // The uninstaller is written by the setup program with the same manifest.
      {g_setup, "requireAdministrator", true},
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

TEST(InstallerGrants, GrantTheSettingsKeyAndThePolicyEntryAndRemoveTheEntry) {
  test::SettingsKey settings(/*present=*/false);
  test::ScratchFolder folder("grants");
  const std::string probe = test::Quote(test::WinePath(g_probe));
  const auto grant = test::RunProcess(probe + " /S /D=" + folder.path());
  ASSERT_TRUE(grant.finished) << grant.output;
  EXPECT_EQ(grant.exitCode, 0u) << grant.output;
  test::ExpectInstalledGrants(folder.path());

  const auto remove = test::RunProcess(probe + " /S /remove /D=" + folder.path());
  ASSERT_TRUE(remove.finished) << remove.output;
  test::ExpectNoElevationPolicy();
}

}  // namespace
}  // namespace vendrolix

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  vendrolix::test::ReadTextFlags(argc, argv, {{"--dist32=", &g_dist32},
                                              {"--dist64=", &g_dist64},
                                              {"--setup=", &g_setup},
                                              {"--probe=", &g_probe}});
  return RUN_ALL_TESTS();
}
