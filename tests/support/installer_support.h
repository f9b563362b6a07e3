// What the installation grants at run time, as the README lists it, checked
// the same way after the setup program's silent install and after the
// installer's grant steps run alone (built as a 64-bit program).
#pragma once

#include <string>

namespace vendrolix::test {

// The tray's entry in Internet Explorer's elevation policy.
inline constexpr const char* kElevationPolicyKey =
    "SOFTWARE\\Microsoft\\Internet Explorer\\Low Rights\\ElevationPolicy\\{CA70E4CD-4C0B-4918-9C21-BA831664B845}";

// The settings key's access list (SYSTEM and Administrators everything,
// Users read and set values, nothing inherited) and its mandatory label
// (low integrity may write; written as "ML;<mask>;<SID>": no write-up 0x1,
// the low level's SID).
inline constexpr const char* kSettingsKeyDacl = "D:P(A;;KA;;;SY)(A;;KA;;;BA)(A;;0x2001b;;;BU)";
inline constexpr const char* kSettingsKeyLabel = "ML;0x1;S-1-16-4096";

// Expects the grants in place, the policy entry naming folder in both views.
void ExpectInstalledGrants(const std::string& folder);
// Expects no policy entry in either view.
void ExpectNoElevationPolicy();

}  // namespace vendrolix::test
