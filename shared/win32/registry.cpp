#include "win32/registry.h"

#include <vector>

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

}  // namespace vendrolix::win32
