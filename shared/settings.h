// The settings contract: where the three programs meet in the registry and
// in the installation folder. Every name here is read or written by more than
// one program, so it is spelled in exactly one place.
#pragma once

namespace vendrolix {

// HKEY_LOCAL_MACHINE\<kSettingsKey> and its two subkeys below. Installation
// creates all three; no program does. The values are split by who may write
// them, since a registry key has one access list for all its values:
//   kSettingsKey  Administrators; Users set values (the tray, as the user)
//   kBrowserKey   also low integrity: where older versions' helper wrote
//                 from a Protected Mode browser; what it writes now is the
//                 user's own (PlaceOf, below)
//   kManagerKey   Administrators only; Users and low integrity read: what
//                 the manager (run as administrator) sets for every user
inline constexpr const char* kSettingsKey = "Software\\Tervanic\\Vendrolix";
inline constexpr const char* kBrowserKey = "Software\\Tervanic\\Vendrolix\\Browser";
inline constexpr const char* kManagerKey = "Software\\Tervanic\\Vendrolix\\Manager";

namespace value {
inline constexpr const char* Popup = "Popup";                // blocking level "0".."4"
inline constexpr const char* PopupSave = "PopupSave";        // level to return to from Allow
inline constexpr const char* Sound = "Sound";                // "0" wave, "1" beep, "2" none
inline constexpr const char* CountIE = "CountIE";            // open browser windows
inline constexpr const char* hForm = "hForm";                // tray's "Form Close" button, "0" = no tray
inline constexpr const char* hButton = "hButton";            // tray's "Block" button
inline constexpr const char* hNSAOLButton = "hNSAOLButton";  // tray's "NSAOL" button
inline constexpr const char* BlockMessenger = "BlockMessenger";
inline constexpr const char* Status = "Status";              // manager page: "0" white list, "1" cookies
inline constexpr const char* NSExist = "NSExist";
inline constexpr const char* AOLExist = "AOLExist";
inline constexpr const char* AutoClean = "AutoClean";        // IE/AOL cookies cleaned at exit
inline constexpr const char* NSAutoClean = "NSAutoClean";    // Netscape cookies cleaned at exit
inline constexpr const char* OptionCookie = "OptionCookie";  // cookie view: "1" IE/AOL, "0" Netscape
inline constexpr const char* PathNSCookie = "PathNSCookie";  // Netscape profile folder (".slt")
inline constexpr const char* NSAOLRun = "NSAOLRun";
inline constexpr const char* PathTrayApp = "PathTrayApp";
// Host of the page whose pop-up or dialog the browser helper refused last;
// "" when that page had none. Written by the helper only, for the user who
// browses: beside the list of blocked windows (blocked_list.h), never under
// HKEY_LOCAL_MACHINE, where older versions kept it for every user at once
// (the installers delete that copy).
inline constexpr const char* LastBlocked = "LastBlocked";
// A site the tray asks the manager to add to the white list, with Status
// "0"; the manager removes it once read.
inline constexpr const char* AllowSite = "AllowSite";
// Set by the installer (machine-wide); each user's first tray start after
// it takes it once, and records that in the user's FirstStartTaken.
inline constexpr const char* FirstStart = "FirstStart";
inline constexpr const char* FirstStartTaken = "FirstStartTaken";
}  // namespace value

namespace detail {
constexpr bool SameName(const char* a, const char* b) {
  while (*a != '\0' && *a == *b) ++a, ++b;
  return *a == *b;
}
}  // namespace detail

// The key under HKEY_LOCAL_MACHINE that holds a value's machine-wide copy:
// every reader and writer asks here, so a value never lives in two places.
constexpr const char* SettingsKeyOf(const char* name) {
  using detail::SameName;
  if (SameName(name, value::CountIE) || SameName(name, value::LastBlocked)) return kBrowserKey;
  if (SameName(name, value::AutoClean) || SameName(name, value::NSAutoClean) ||
      SameName(name, value::OptionCookie) || SameName(name, value::PathNSCookie)) {
    return kManagerKey;
  }
  return kSettingsKey;
}

// Whose a value is. Several people may use one machine at once (fast user
// switching, Remote Desktop hosts): what one of them chooses or does never
// reaches another.
//   Machine   HKEY_LOCAL_MACHINE (SettingsKeyOf): the administrator's values
//             and the machine's facts, and the defaults of the user's values
//   User      HKEY_CURRENT_USER\kUserSettingsKey: the user's own choices;
//             a user without one reads the machine-wide copy (the level the
//             installer set); the policy's level stays above both. The
//             helper reads it at low integrity; only the user writes it
//   UserLow   HKEY_CURRENT_USER\kUserLowKey: what the helper writes from a
//             Protected Mode browser (low integrity may write there)
//   Session   HKEY_CURRENT_USER\kUserSettingsKey\Session<id>, volatile:
//             one logon session's tray and its window handles, which mean
//             nothing in another session and go with the logon
enum class SettingPlace { Machine, User, UserLow, Session };

inline constexpr const char* kUserSettingsKey = "Software\\Tervanic\\Vendrolix";
inline constexpr const char* kUserLowKey = "Software\\AppDataLow\\Tervanic\\Vendrolix";
inline constexpr const char* kSessionKeyPrefix = "Session";

constexpr SettingPlace PlaceOf(const char* name) {
  using detail::SameName;
  if (SameName(name, value::Popup) || SameName(name, value::PopupSave) || SameName(name, value::Sound) ||
      SameName(name, value::FirstStartTaken)) {
    return SettingPlace::User;
  }
  if (SameName(name, value::CountIE) || SameName(name, value::LastBlocked)) return SettingPlace::UserLow;
  if (SameName(name, value::hForm) || SameName(name, value::hButton) || SameName(name, value::hNSAOLButton) ||
      SameName(name, value::Status)) {
    return SettingPlace::Session;
  }
  return SettingPlace::Machine;
}

// Other registry places.
inline constexpr const char* kMessengerServiceKey = "System\\CurrentControlSet\\Services\\Messenger";
inline constexpr const char* kMessengerStartValue = "Start";
inline constexpr const char* kAppPathsNetscape = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Netscp.exe";
inline constexpr const char* kAppPathsNetscape6 = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Netscp6.exe";
inline constexpr const char* kAppPathsAol = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Aol.exe";
inline constexpr const char* kShellFoldersKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr const char* kBrowserHelperObjectsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";

// Files of the installation folder.
namespace file {
inline constexpr const char* BrowserHelper = "VendrolixIEDLL.dll";
inline constexpr const char* Tray = "VendrolixTray.exe";
inline constexpr const char* Manager = "VendrolixPro.exe";
inline constexpr const char* WhiteList = "WebSite.dat";
inline constexpr const char* IeKeepList = "IECookieURL.dat";
inline constexpr const char* NsKeepList = "NSCookieURL.dat";
inline constexpr const char* BlockSound = "Block.wav";
inline constexpr const char* Help = "VendrolixHelp.chm";
}  // namespace file

// The block sound alone is formed with a forward slash. Windows takes either
// separator; the slash stays so that every program names the file alike.
inline constexpr const char* kBlockSoundSuffix = "/Block.wav";
// The beep of "Internal Sound", the same from the browser and the tray.
inline constexpr unsigned kBlockBeepHz = 150;
inline constexpr unsigned kBlockBeepMs = 200;

// Window captions other programs look for.
inline constexpr const char* kTrayFormCaption = "Vendrolix Tray Form";
inline constexpr const char* kNsAolBlockerCaption = "Vendrolix Pro (NS/AOL)";

// The tray's hidden buttons, published in hForm, hButton and hNSAOLButton:
// system buttons with these captions. A program clicks a published handle
// only while it still names such a button of the running tray program.
inline constexpr const char* kButtonClass = "Button";
inline constexpr const char* kFormCloseCaption = "Form Close";
inline constexpr const char* kBlockCaption = "Block";
inline constexpr const char* kNsAolCaption = "NSAOL";

// BM_CLICK, posted across processes to the tray's hidden buttons.
inline constexpr unsigned int kButtonClickMessage = 0x00F5;

// The cookie cleaner only acts on this access code.
inline constexpr const char* kCleanerAccessCode = "MORVATHELK";

}  // namespace vendrolix

// Group Policy: values an administrator sets under HKEY_LOCAL_MACHINE\<kPolicyKey>
// (64-bit view on 64-bit Windows, where the policy client writes them). Each
// one, when set and valid, takes the place of the user's setting; unset or
// invalid, the settings rule as before. Only administrators write there.
namespace vendrolix {
inline constexpr const char* kPolicyKey = "Software\\Policies\\Tervanic\\Vendrolix";
namespace policy {
inline constexpr const char* BlockLevel = "BlockLevel";          // REG_DWORD 0..4, in place of Popup
inline constexpr const char* AllowList = "AllowList";            // subkey: REG_SZ keywords, as WebSite.dat's
inline constexpr const char* LockWhiteList = "LockWhiteList";    // REG_DWORD 1: the white list is not edited
inline constexpr const char* AutoClean = "AutoClean";            // REG_DWORD 0/1, in place of AutoClean
inline constexpr const char* NSAutoClean = "NSAutoClean";        // REG_DWORD 0/1, in place of NSAutoClean
inline constexpr const char* KeepCookies = "KeepCookies";        // subkey: REG_SZ hosts never cleaned
}  // namespace policy
}  // namespace vendrolix
