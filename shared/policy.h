// What the administrator's policies (settings.h, kPolicyKey) mean, apart
// from the registry read. Policy values are written by administrators only,
// but a template typed by hand or a script can still store anything, so every
// value is judged here before it takes the place of a user's setting: a
// value that is not exactly what the templates write counts as no policy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrolix {

// Bounds of the AllowList and KeepCookies subkeys: an entry is a keyword or a
// host, never longer than a host can be; more entries than this are not read
// (the browser reads the AllowList at every new window).
inline constexpr std::size_t kPolicyEntryChars = 255;
inline constexpr std::size_t kPolicyEntryCount = 1000;

// The parts a reader may ask for, so that a reader pays only for what it uses.
enum PolicyPart : unsigned {
  kPolicyLevel = 1u << 0,
  kPolicyAllowList = 1u << 1,
  kPolicyLock = 1u << 2,
  kPolicyCleaning = 1u << 3,
  kPolicyKeepCookies = 1u << 4,
};

struct Policy {
  std::optional<std::int16_t> level;        // BlockLevel, 0..4
  std::vector<std::string> allowList;       // AllowList keywords
  bool lockWhiteList = false;               // LockWhiteList = 1
  std::optional<bool> autoClean;            // AutoClean
  std::optional<bool> nsAutoClean;          // NSAutoClean
  std::vector<std::string> keepCookies;     // KeepCookies hosts
  // A part asked for exists but could not be read whole: the cleaner then
  // deletes nothing rather than what a host it could not read would keep.
  bool readFailed = false;
};

// A REG_DWORD as the reader found it: nullopt when the value is missing or of
// another type or size. These turn it into the policy, or into no policy.
std::optional<std::int16_t> PolicyLevelOf(std::optional<std::uint32_t> dword);
std::optional<bool> PolicySwitchOf(std::optional<std::uint32_t> dword);
bool PolicyFlagOf(std::optional<std::uint32_t> dword);

// The text of a setting (Popup, AutoClean, NSAutoClean) a policy enforces,
// as the setting would hold it; nullopt when none does. The part of the
// policy a setting needs (PolicyPart bits), 0 for a setting no policy sets.
std::optional<std::string> EnforcedSettingText(const Policy& policy, std::string_view settingName);
unsigned PolicyPartOfSetting(std::string_view settingName);

// Takes one REG_SZ entry of a list subkey: trimmed of spaces; an empty one,
// one longer than kPolicyEntryChars or one holding a control character is
// skipped. Returns false once the list holds kPolicyEntryCount entries.
bool AddPolicyEntry(std::vector<std::string>& entries, std::string_view text);

// An AllowList keyword white-lists a page as a WebSite.dat line does
// (ListedAddress: by the address's host, or before its query for a keyword
// with "/").
bool PolicyAllows(const std::vector<std::string>& allowList, std::string_view url);

// A KeepCookies host keeps a cookie site ("user@host", a Netscape domain
// ".host", or a bare host) of that host or of any of its subdomains; a host
// that only ends in the same letters ("badexample.com") is not kept.
bool PolicyKeepsSite(const std::vector<std::string>& hosts, std::string_view site);

}  // namespace vendrolix
