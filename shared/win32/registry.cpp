#include "win32/registry.h"

#include <vector>

#include "settings.h"

namespace vendrolix::win32 {

UniqueHKey OpenSuiteKey(HKEY root, const char* subKey, REGSAM rights) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(root, subKey, 0, rights | kSuiteView, &opened) != ERROR_SUCCESS) return UniqueHKey();
  return UniqueHKey(opened);
}

bool ReadRegText(HKEY root, const char* subKey, const char* name, std::size_t bufferSize, std::string& text) {
  UniqueHKey key = OpenSuiteKey(root, subKey, KEY_QUERY_VALUE);
  return key && ReadRegText(key.get(), name, bufferSize, text);
}

bool ReadRegText(HKEY key, const char* name, std::size_t bufferSize, std::string& text) {
  return QueryRegText(key, name, bufferSize, text) == ERROR_SUCCESS;
}

LONG QueryRegText(HKEY key, const char* name, std::size_t bufferSize, std::string& text) {
  if (!key || bufferSize == 0) return ERROR_INVALID_PARAMETER;
  std::vector<char> buffer(bufferSize, ' ');
  DWORD length = static_cast<DWORD>(bufferSize);
  DWORD type = 0;
  const LONG status =
      RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &length);
  if (status != ERROR_SUCCESS) return status;
  if (length > bufferSize) return ERROR_MORE_DATA;
  std::size_t n = 0;
  while (n < length && buffer[n] != '\0') ++n;
  text.assign(buffer.data(), n);
  return ERROR_SUCCESS;
}

bool WriteRegText(HKEY root, const char* subKey, const char* name, const std::string& text) {
  UniqueHKey key = OpenSuiteKey(root, subKey, KEY_SET_VALUE);
  if (!key) return false;
  return RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

bool WriteRegDword(HKEY root, const char* subKey, const char* name, DWORD value) {
  UniqueHKey key = OpenSuiteKey(root, subKey, KEY_SET_VALUE);
  if (!key) return false;
  return RegSetValueExA(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
         ERROR_SUCCESS;
}

bool DeleteRegValue(HKEY root, const char* subKey, const char* name) {
  UniqueHKey key = OpenSuiteKey(root, subKey, KEY_SET_VALUE);
  if (!key) return false;
  return RegDeleteValueA(key.get(), name) == ERROR_SUCCESS;
}

SettingKeyPath SettingKeyPathOf(const char* name) {
  switch (PlaceOf(name)) {
    case SettingPlace::User:
      return {HKEY_CURRENT_USER, kUserSettingsKey, false};
    case SettingPlace::UserLow:
      return {HKEY_CURRENT_USER, kUserLowKey, false};
    case SettingPlace::Session: {
      DWORD session = 0;
      if (!ProcessIdToSessionId(GetCurrentProcessId(), &session)) session = 0;
      return {HKEY_CURRENT_USER, std::string(kUserSettingsKey) + "\\" + kSessionKeyPrefix + std::to_string(session),
              true};
    }
    case SettingPlace::Machine:
      break;
  }
  return {HKEY_LOCAL_MACHINE, SettingsKeyOf(name), false};
}

namespace {

UniqueHKey CreateKey(HKEY root, const std::string& subKey, DWORD options, REGSAM rights) {
  HKEY made = nullptr;
  if (RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, options, rights | kSuiteView, nullptr, &made, nullptr) !=
      ERROR_SUCCESS) {
    return UniqueHKey();
  }
  return UniqueHKey(made);
}

}  // namespace

UniqueHKey OpenSettingKey(const char* name, REGSAM rights, bool create) {
  const SettingKeyPath path = SettingKeyPathOf(name);
  UniqueHKey key = OpenSuiteKey(path.root, path.subKey.c_str(), rights);
  if (key || !create || path.root == HKEY_LOCAL_MACHINE) return key;
  if (!path.isVolatile) return CreateKey(path.root, path.subKey, REG_OPTION_NON_VOLATILE, rights);
  // The user's key lasts; only the session's below it is volatile (a lasting
  // key may not be made below a volatile one).
  UniqueHKey user = CreateKey(path.root, kUserSettingsKey, REG_OPTION_NON_VOLATILE, KEY_CREATE_SUB_KEY);
  if (!user) return UniqueHKey();
  const std::string own = path.subKey.substr(std::string(kUserSettingsKey).size() + 1);
  return CreateKey(user.get(), own, REG_OPTION_VOLATILE, rights);
}

std::optional<std::string> ReadSettingText(const char* name, std::size_t bufferSize) {
  std::string text;
  if (ReadRegText(OpenSettingKey(name, KEY_QUERY_VALUE).get(), name, bufferSize, text)) return text;
  if (PlaceOf(name) == SettingPlace::User &&
      ReadRegText(HKEY_LOCAL_MACHINE, SettingsKeyOf(name), name, bufferSize, text)) {
    return text;
  }
  return std::nullopt;
}

bool WriteSettingText(const char* name, const std::string& text) {
  const UniqueHKey key = OpenSettingKey(name, KEY_SET_VALUE, true);
  return key && RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                               static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

bool DeleteSetting(const char* name) {
  const UniqueHKey key = OpenSettingKey(name, KEY_SET_VALUE);
  return key && RegDeleteValueA(key.get(), name) == ERROR_SUCCESS;
}

}  // namespace vendrolix::win32
