// What an installation leaves, as the README lists it, checked the same way
// after the setup program, after the Windows Installer package and after the
// settings tool's grant steps run alone.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace vendrolix::test {

// The tray's entry in Internet Explorer's elevation policy.
inline constexpr const char* kElevationPolicyKey =
    "SOFTWARE\\Microsoft\\Internet Explorer\\Low Rights\\ElevationPolicy\\{CA70E4CD-4C0B-4918-9C21-BA831664B845}";

// Each settings key's access list (SYSTEM and Administrators everything,
// nothing inherited; Users read and set values, or only read) and mandatory
// label (written as "ML;<mask>;<SID>": no write-up 0x1, the level's SID:
// only the browser's key lets low integrity write).
struct KeyGrant {
  const char* key;
  const char* dacl;
  const char* label;
};
inline constexpr KeyGrant kKeyGrants[] = {
    {"Software\\Tervanic\\Vendrolix", "D:P(A;;KA;;;SY)(A;;KA;;;BA)(A;;0x2001b;;;BU)", "ML;0x1;S-1-16-8192"},
    {"Software\\Tervanic\\Vendrolix\\Browser", "D:P(A;;KA;;;SY)(A;;KA;;;BA)(A;;0x2001b;;;BU)", "ML;0x1;S-1-16-4096"},
    {"Software\\Tervanic\\Vendrolix\\Manager", "D:P(A;;KA;;;SY)(A;;KA;;;BA)(A;;KR;;;BU)", "ML;0x1;S-1-16-8192"},
};

// The cookie cleaner's class, and the helper's listing under Browser Helper
// Objects (kHelperClsid in wine_support.h).
inline constexpr const char* kCleanerClsid = "{CCD21D21-7305-4FED-8714-0436099AF281}";
std::string HelperListingKey();
// The setup program's Add/Remove Programs entry (32-bit view).
inline constexpr const char* kSetupUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vendrolix";

// Whether a file or folder is there.
bool Exists(const std::string& path);

// Expects the grants in place, the policy entry naming folder in both views.
void ExpectInstalledGrants(const std::string& folder);
// Expects no policy entry in either view.
void ExpectNoElevationPolicy();

// Where both installers put the suite: "Vendrolix" in the 32-bit Program
// Files.
std::string InstallFolder();
// The Start menu's "Vendrolix" folder, of all users or of the user running
// the test.
std::string StartMenuFolder(bool allUsers = true);

// What either installer leaves: every file of both bitnesses under its
// installed name, byte for byte the build's (dist32 and dist64 are the dist
// folders, Unix paths); the settings key with its first values (FirstStart
// "1", cleaning off) and the grants; each class registered in each view with
// the file of that view's bitness, and working; the helper listed in both
// views; the three shortcuts in menu.
void ExpectSuiteInstalled(const std::string& folder, const std::string& menu, const std::string& dist32,
                          const std::string& dist64);
// Nothing of the suite left but what the user made (the caller looks at the
// lists): no file of ours, shortcut, registration, listing, policy entry or
// settings key.
void ExpectSuiteRemoved(const std::string& folder, const std::string& menu);

// The bench's browser of one bitness (Unix path) loads the installed helper
// through the listing alone, nothing registered by the test, and blocks a
// pop-up as a page loads; the class's server in view is helperFile
// ("\Vendrolix\VendrolixIEDLL.dll" or its 64-bit name).
void ExpectInstalledHelperBlocksPopUp(const std::string& browser, REGSAM view, const std::string& helperFile);

// An installation into a folder reached through a link (the link itself,
// then a folder below it): install runs one into the folder given and
// checks that it was refused; nothing may land where the link leads.
void ExpectRefusedThroughLink(const std::function<void(const std::string& folder)>& install);

}  // namespace vendrolix::test
