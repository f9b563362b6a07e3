#include "win32/policy_reader.h"

#include <windows.h>

#include "settings.h"
#include "win32/handles.h"

namespace vendrolix::win32 {

namespace {

// The policy client writes the 64-bit view on 64-bit Windows; 32-bit
// Windows ignores the flag. Read rights only: users may read policies.
constexpr REGSAM kPolicyView = KEY_WOW64_64KEY;

// Values beyond this in a list subkey are not looked at, valid or not, so a
// key full of junk cannot hold a browser thread.
constexpr DWORD kPolicyValueScanLimit = 4 * kPolicyEntryCount;

std::optional<std::uint32_t> ReadDword(HKEY key, const char* name, bool& failed) {
  DWORD type = 0;
  DWORD data = 0;
  DWORD size = sizeof data;
  const LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
  if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
  if (status == ERROR_SUCCESS && type == REG_DWORD && size == sizeof data) return data;
  // Of another type or size: an administrator's mistake, read as no policy.
  if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) failed = true;
  return std::nullopt;
}

void ReadEntries(HKEY policyKey, const char* subKey, std::vector<std::string>& entries, bool& failed) {
  HKEY opened = nullptr;
  const LONG status = RegOpenKeyExA(policyKey, subKey, 0, KEY_QUERY_VALUE | kPolicyView, &opened);
  if (status == ERROR_FILE_NOT_FOUND) return;
  if (status != ERROR_SUCCESS) {
    failed = true;
    return;
  }
  const UniqueHKey key(opened);
  char name[256];
  char data[kPolicyEntryChars + 2];
  for (DWORD index = 0; index < kPolicyValueScanLimit; ++index) {
    DWORD nameSize = sizeof name;
    DWORD dataSize = sizeof data - 1;
    DWORD type = 0;
    const LONG read =
        RegEnumValueA(key.get(), index, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize);
    if (read == ERROR_NO_MORE_ITEMS) return;
    // Too long a name or entry: that entry is skipped, the others count.
    if (read == ERROR_MORE_DATA) continue;
    if (read != ERROR_SUCCESS) {
      failed = true;
      return;
    }
    if (type != REG_SZ || dataSize > sizeof data - 1) continue;
    data[dataSize] = '\0';
    if (!AddPolicyEntry(entries, std::string_view(data))) return;
  }
}

}  // namespace

Policy ReadPolicy(unsigned parts) {
  Policy policy;
  try {
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPolicyKey, 0,
                                      KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | kPolicyView, &opened);
    if (status != ERROR_SUCCESS) {
      policy.readFailed = status != ERROR_FILE_NOT_FOUND;
      return policy;
    }
    const UniqueHKey key(opened);
    bool failed = false;
    if (parts & kPolicyLevel) policy.level = PolicyLevelOf(ReadDword(key.get(), policy::BlockLevel, failed));
    if (parts & kPolicyLock) policy.lockWhiteList = PolicyFlagOf(ReadDword(key.get(), policy::LockWhiteList, failed));
    if (parts & kPolicyCleaning) {
      policy.autoClean = PolicySwitchOf(ReadDword(key.get(), policy::AutoClean, failed));
      policy.nsAutoClean = PolicySwitchOf(ReadDword(key.get(), policy::NSAutoClean, failed));
    }
    if (parts & kPolicyAllowList) ReadEntries(key.get(), policy::AllowList, policy.allowList, failed);
    if (parts & kPolicyKeepCookies) ReadEntries(key.get(), policy::KeepCookies, policy.keepCookies, failed);
    policy.readFailed = failed;
  } catch (...) {
    // Out of memory: what was read stands, and the cleaner acts on nothing.
    policy.readFailed = true;
  }
  return policy;
}

std::optional<std::string> ReadEnforcedSetting(const char* settingName) {
  const unsigned part = PolicyPartOfSetting(settingName);
  if (part == 0) return std::nullopt;
  try {
    return EnforcedSettingText(ReadPolicy(part), settingName);
  } catch (...) {
    return std::nullopt;
  }
}

}  // namespace vendrolix::win32
