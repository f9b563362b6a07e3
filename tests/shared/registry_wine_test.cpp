// CRegistry against Wine's registry, in both of its flavours.
#include <windows.h>

#include <gtest/gtest.h>

#include "win32/CRegistry.h"
#include "wine_support.h"

namespace vendrolix {
namespace {

using test::SettingsKey;

struct Flavour {
  const char* name;
  CRegistry registry;
  std::size_t longestReadable;
  const char* missing;
};

Flavour Tray() { return {"tray", CRegistry::ForTray(), 254, "1"}; }
Flavour Manager() { return {"manager", CRegistry::ForManager(), 1023, "0"}; }

class RegistryFlavour : public ::testing::TestWithParam<Flavour (*)()> {};

TEST_P(RegistryFlavour, ReadsAreTrimmedUpperCaseOrTheDefault) {
  const Flavour f = GetParam()();
  SettingsKey key;
  struct Row {
    const char* stored;  // nullptr: value missing
    std::string expected;
  };
  const Row rows[] = {
      {"  abc  ", "ABC"}, {"", ""}, {"   ", ""}, {"Mixed Case 7", "MIXED CASE 7"}, {"\tx\t", "\tX\t"},
      {nullptr, f.missing},
  };
  for (const Row& row : rows) {
    if (row.stored) key.Set("Value", row.stored);
    else key.Remove("Value");
    EXPECT_EQ(f.registry.GetRegStringValue("Value"), row.expected)
        << f.name << " stored " << (row.stored ? row.stored : "(missing)");
  }
}

TEST_P(RegistryFlavour, TextsLongerThanTheBufferReadAsTheDefault) {
  const Flavour f = GetParam()();
  SettingsKey key;
  const std::string longest(f.longestReadable, 'q');
  key.Set("Long", longest);
  EXPECT_EQ(f.registry.GetRegStringValue("Long"), std::string(f.longestReadable, 'Q')) << f.name;
  key.Set("Long", longest + "q");
  EXPECT_EQ(f.registry.GetRegStringValue("Long"), f.missing) << f.name;
  key.Set("Long", std::string(10000, 'q'));
  EXPECT_EQ(f.registry.GetRegStringValue("Long"), f.missing) << f.name;
}

TEST_P(RegistryFlavour, AbsentKeyReadsDefaultAndWritesLeaveNothing) {
  const Flavour f = GetParam()();
  SettingsKey key(/*present=*/false);
  f.registry.SetRegStringValue("NSExist", "2");
  EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, kSettingsKey));
  EXPECT_EQ(f.registry.GetRegStringValue("NSExist"), f.missing);
}

TEST_P(RegistryFlavour, WritesReplaceWholeTerminatedTexts) {
  const Flavour f = GetParam()();
  SettingsKey key;
  f.registry.SetRegStringValue("NSExist", "4");
  f.registry.SetRegStringValue("NSExist", "2");
  EXPECT_EQ(key.Get("NSExist"), "2");
  EXPECT_EQ(f.registry.GetRegStringValue("NSExist"), "2");
  f.registry.SetRegStringValue("Empty", "");
  EXPECT_EQ(key.Get("Empty"), "");
  EXPECT_EQ(f.registry.GetRegStringValue("Empty"), "");
}

// A user who may read the settings but not write them: each read asks only
// for what it does, so it still reads the stored value, not the default.
TEST_P(RegistryFlavour, AKeyReadableOnlyIsReadAndWritesFailQuietly) {
  const Flavour f = GetParam()();
  SettingsKey key;
  key.Set("NSExist", "4");
  test::ReadOnlySettings readOnly;
  ASSERT_TRUE(readOnly.applied());
  HKEY all = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, 0x3F | KEY_WOW64_32KEY, &all), ERROR_ACCESS_DENIED)
      << "the key must refuse read and write rights asked together";
  EXPECT_EQ(f.registry.GetRegStringValue("NSExist"), "4") << f.name;
  f.registry.SetRegStringValue("NSExist", "0");
  EXPECT_EQ(key.Get("NSExist"), "4") << f.name;
}

INSTANTIATE_TEST_SUITE_P(Both, RegistryFlavour, ::testing::Values(&Tray, &Manager),
                         [](const auto& info) { return std::string(info.param().name); });

// Whose each value is: read and written where the programs meet, a user's
// choice over the machine's default, one session's handles apart from the
// machine's (and so from every other session's).
TEST(Registry, EachValueLivesInItsPlaceAndAUsersChoiceComesBeforeTheMachines) {
  const std::string session = [] {
    DWORD id = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &id);
    return std::string(kUserSettingsKey) + "\\Session" + std::to_string(id);
  }();
  const struct {
    const char* name;
    HKEY root;
    std::string key;
    bool machineDefault;
  } cases[] = {
      {value::Popup, HKEY_CURRENT_USER, kUserSettingsKey, true},
      {value::PopupSave, HKEY_CURRENT_USER, kUserSettingsKey, true},
      {value::Sound, HKEY_CURRENT_USER, kUserSettingsKey, true},
      {value::CountIE, HKEY_CURRENT_USER, kUserLowKey, false},
      {value::LastBlocked, HKEY_CURRENT_USER, kUserLowKey, false},
      {value::hForm, HKEY_CURRENT_USER, session, false},
      {value::hButton, HKEY_CURRENT_USER, session, false},
      {value::hNSAOLButton, HKEY_CURRENT_USER, session, false},
      {value::Status, HKEY_CURRENT_USER, session, false},
      {value::NSExist, HKEY_LOCAL_MACHINE, kSettingsKey, false},
      {value::BlockMessenger, HKEY_LOCAL_MACHINE, kSettingsKey, false},
      {value::PathTrayApp, HKEY_LOCAL_MACHINE, kSettingsKey, false},
      {value::FirstStart, HKEY_LOCAL_MACHINE, kSettingsKey, false},
      {value::AutoClean, HKEY_LOCAL_MACHINE, kManagerKey, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SettingsKey key;
    test::SetText(HKEY_LOCAL_MACHINE, SettingsKeyOf(c.name), c.name, "machine");
    EXPECT_EQ(CRegistry::ForTray().GetRegStringValue(c.name), c.machineDefault || c.root == HKEY_LOCAL_MACHINE ? "MACHINE" : "1");
    CRegistry::ForTray().SetRegStringValue(c.name, "own");
    EXPECT_EQ(test::GetText(c.root, c.key, c.name), "own");
    EXPECT_EQ(CRegistry::ForManager().GetRegStringValue(c.name), "OWN");
    if (c.root == HKEY_CURRENT_USER) EXPECT_EQ(test::GetText(HKEY_LOCAL_MACHINE, SettingsKeyOf(c.name), c.name), "machine");
  }
}

TEST(Registry, TextStoredWithoutTerminatorReadsWhole) {
  SettingsKey key;
  test::SetRawText(HKEY_LOCAL_MACHINE, kSettingsKey, "Popup", "3");
  EXPECT_EQ(CRegistry::ForTray().GetRegStringValue("Popup"), "3");
}

TEST(Registry, ShellFolderReadsAreCleanedOrNo) {
  const std::string shellFolders = kShellFoldersKey;
  const auto saved = test::GetText(HKEY_CURRENT_USER, shellFolders, "Cookies");
  test::SetText(HKEY_CURRENT_USER, shellFolders, "Cookies", "  C:\\Users\\Me\\Cookies ");
  EXPECT_EQ(CRegistry::ForManager().GetRegPathShellFolder("Cookies"), "C:\\USERS\\ME\\COOKIES");
  test::DeleteValue(HKEY_CURRENT_USER, shellFolders, "Cookies");
  EXPECT_EQ(CRegistry::ForManager().GetRegPathShellFolder("Cookies"), "No");
  EXPECT_EQ(CRegistry::ForManager().GetRegPathShellFolder("NoSuchFolder"), "No");
  if (saved) test::SetText(HKEY_CURRENT_USER, shellFolders, "Cookies", *saved);
}

TEST(Registry, SubKeyExistOpensAndClosesOnly) {
  const CRegistry registry = CRegistry::ForTray();
  const std::string probe = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\VendrolixProbe.exe";
  test::DeleteKeyTree(HKEY_LOCAL_MACHINE, probe);
  EXPECT_FALSE(registry.SubKeyExist(HKEY_LOCAL_MACHINE, probe));
  EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, probe));
  test::CreateKey(HKEY_LOCAL_MACHINE, probe);
  EXPECT_TRUE(registry.SubKeyExist(HKEY_LOCAL_MACHINE, probe));
  // The key was closed again: it can be deleted at once.
  test::DeleteKeyTree(HKEY_LOCAL_MACHINE, probe);
  EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, probe));
}

TEST(Registry, DwordAndOtherKeyWritesNeverCreateKeys) {
  const CRegistry registry = CRegistry::ForTray();
  const std::string service = "System\\CurrentControlSet\\Services\\VendrolixProbeService";
  test::DeleteKeyTree(HKEY_LOCAL_MACHINE, service);
  registry.SetRegDWordValue(service, "Start", 3);
  registry.SetRegStringValueEx(service, "Text", "x");
  EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, service));

  test::CreateKey(HKEY_LOCAL_MACHINE, service);
  registry.SetRegDWordValue(service, "Start", 3);
  EXPECT_EQ(test::GetDword(HKEY_LOCAL_MACHINE, service, "Start"), 3u);
  registry.SetRegDWordValue(service, "Start", 2);
  EXPECT_EQ(test::GetDword(HKEY_LOCAL_MACHINE, service, "Start"), 2u);
  registry.SetRegDWordValue(service, "Negative", -1);
  EXPECT_EQ(test::GetDword(HKEY_LOCAL_MACHINE, service, "Negative"), 0xFFFFFFFFu);
  registry.SetRegStringValueEx(service, "Text", "Hello");
  EXPECT_EQ(test::GetText(HKEY_LOCAL_MACHINE, service, "Text"), "Hello");
  test::DeleteKeyTree(HKEY_LOCAL_MACHINE, service);
}

}  // namespace
}  // namespace vendrolix
