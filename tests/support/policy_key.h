// The administrator's policy key as the policy client writes it (the 64-bit
// view), for the Wine tests and the bench browser; header-only so that the
// stand-ins can use it without the test support library.
#pragma once

#include <windows.h>

#include <string>

#include "settings.h"

namespace vendrolix::test {

inline bool WritePolicyValue(const std::string& subKey, const std::string& name, DWORD type, const void* data,
                             DWORD size) {
  const std::string path = subKey.empty() ? std::string(kPolicyKey) : std::string(kPolicyKey) + "\\" + subKey;
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG status = RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

inline bool SetPolicyDword(const std::string& name, DWORD value) {
  return WritePolicyValue("", name, REG_DWORD, &value, sizeof value);
}

// One entry of a list policy (AllowList, KeepCookies), named as the policy
// client names them: 1, 2, ...
inline bool AddPolicyEntry(const std::string& list, const std::string& text) {
  const std::string path = std::string(kPolicyKey) + "\\" + list;
  DWORD count = 0;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) == ERROR_SUCCESS) {
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
  }
  return WritePolicyValue(list, std::to_string(count + 1), REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

// The whole policy key, as when every policy is set to Not Configured.
inline void RemovePolicies() {
  HKEY parent = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Policies\\Tervanic", 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                    &parent) != ERROR_SUCCESS) {
    return;
  }
  RegDeleteTreeA(parent, "Vendrolix");
  RegCloseKey(parent);
}

// Removes the policies a test set, whatever way it ends.
class PolicyGuard {
 public:
  PolicyGuard() { RemovePolicies(); }
  ~PolicyGuard() { RemovePolicies(); }
  PolicyGuard(const PolicyGuard&) = delete;
  PolicyGuard& operator=(const PolicyGuard&) = delete;
};

}  // namespace vendrolix::test
