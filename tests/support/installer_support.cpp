#include "installer_support.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "settings.h"
#include "text.h"
#include "wine_support.h"

namespace vendrolix::test {

void ExpectInstalledGrants(const std::string& folder) {
  const SECURITY_INFORMATION parts = DACL_SECURITY_INFORMATION | LABEL_SECURITY_INFORMATION;
  const auto expected = CanonicalSddl(kSettingsKeySddl, parts);
  ASSERT_TRUE(expected.has_value());
  EXPECT_EQ(KeySecurity(HKEY_LOCAL_MACHINE, kSettingsKey, parts), expected);
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
