#include <windows.h>

#include "text.h"
#include "win32/CRegistry.h"
#include "win32/handles.h"
#include "win32/registry.h"

namespace vendrolix {

CRegistry::CRegistry(std::size_t readBufferSize, std::string defaultText)
    : readBufferSize_(readBufferSize), defaultText_(std::move(defaultText)) {}

CRegistry CRegistry::ForTray() { return CRegistry(kTrayReadBuffer, "1"); }

CRegistry CRegistry::ForManager() { return CRegistry(kManagerReadBuffer, "0"); }

std::string CRegistry::GetRegStringValue(const std::string& strValueName) const {
  return GetStoredRegStringValue(strValueName).value_or(defaultText_);
}

std::optional<std::string> CRegistry::GetStoredRegStringValue(const std::string& strValueName) const {
  const std::optional<std::string> text = win32::ReadSettingText(strValueName.c_str(), readBufferSize_);
  if (!text) return std::nullopt;
  return ToUpper(Trim(*text));
}

void CRegistry::SetRegStringValue(const std::string& strValueName, const std::string& strValueData) const {
  win32::WriteSettingText(strValueName.c_str(), strValueData);
}

void CRegistry::SetRegStringValueEx(const std::string& strSubKey, const std::string& strValueName,
                                    const std::string& strValueData) const {
  win32::WriteRegText(HKEY_LOCAL_MACHINE, strSubKey.c_str(), strValueName.c_str(), strValueData);
}

void CRegistry::SetRegDWordValue(const std::string& strSubKey, const std::string& strValueName,
                                 std::int32_t lngValueData) const {
  win32::WriteRegDword(HKEY_LOCAL_MACHINE, strSubKey.c_str(), strValueName.c_str(),
                       static_cast<DWORD>(lngValueData));
}

std::string CRegistry::GetRegPathShellFolder(const std::string& strValueName) const {
  std::string text;
  if (!win32::ReadRegText(HKEY_CURRENT_USER, kShellFoldersKey, strValueName.c_str(), kShellFolderReadBuffer, text)) {
    return kShellFolderMissing;
  }
  return ToUpper(Trim(text));
}

bool CRegistry::SubKeyExist(HKEY__* hKey, const std::string& strSubKey) const {
  // Existence only: the least right an open can ask for.
  return static_cast<bool>(win32::OpenSuiteKey(hKey, strSubKey.c_str(), KEY_QUERY_VALUE));
}

}  // namespace vendrolix
