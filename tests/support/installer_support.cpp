#include "installer_support.h"

#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <vector>

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

}  // namespace

void ExpectInstalledGrants(const std::string& folder) {
  const auto expected = CanonicalSddl(kSettingsKeyDacl, DACL_SECURITY_INFORMATION);
  ASSERT_TRUE(expected.has_value());
  EXPECT_EQ(KeySecurity(HKEY_LOCAL_MACHINE, kSettingsKey, DACL_SECURITY_INFORMATION), expected);
  EXPECT_EQ(LabelOf(HKEY_LOCAL_MACHINE, kSettingsKey), kSettingsKeyLabel);
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

}  // namespace vendrolix::test
