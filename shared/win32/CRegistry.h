// CRegistry, the registry access of the tray and the manager, with the
// settings' names (settings.h) it reads and writes. A Win32 class, though
// including this header does not pull in windows.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "settings.h"

struct HKEY__;

namespace vendrolix {

// Stateless: every call opens a key, does one read or write, and closes it.
// Reads never fail towards the caller (they return the flavour's default
// text) and writes fail silently. A settings value is read and written where
// its place is (PlaceOf); only a user's or session's key is ever made.
class CRegistry {
 public:
  // readBufferSize bytes hold a text and its terminator; defaultText is what
  // a failed read returns.
  CRegistry(std::size_t readBufferSize, std::string defaultText);

  // The tray's flavour: 255-byte reads, "1" when missing.
  static CRegistry ForTray();
  // The manager's flavour: 1024-byte reads, "0" when missing.
  static CRegistry ForManager();

  // A settings value, trimmed and in upper case; the default on any failure.
  std::string GetRegStringValue(const std::string& strValueName) const;
  // The same read without the default: nullopt when the value is missing,
  // unreadable or longer than the read buffer, for readers that must not
  // take the default for a stored value.
  std::optional<std::string> GetStoredRegStringValue(const std::string& strValueName) const;
  void SetRegStringValue(const std::string& strValueName, const std::string& strValueData) const;
  // As SetRegStringValue under HKEY_LOCAL_MACHINE\strSubKey.
  void SetRegStringValueEx(const std::string& strSubKey, const std::string& strValueName,
                           const std::string& strValueData) const;
  void SetRegDWordValue(const std::string& strSubKey, const std::string& strValueName,
                        std::int32_t lngValueData) const;
  // A folder of the current user's shell folders, trimmed and in upper
  // case; "No" on any failure.
  std::string GetRegPathShellFolder(const std::string& strValueName) const;
  bool SubKeyExist(HKEY__* hKey, const std::string& strSubKey) const;

 private:
  std::size_t readBufferSize_;
  std::string defaultText_;
};

inline constexpr std::size_t kTrayReadBuffer = 255;
inline constexpr std::size_t kManagerReadBuffer = 1024;
inline constexpr std::size_t kShellFolderReadBuffer = 1024;
inline constexpr const char* kShellFolderMissing = "No";

}  // namespace vendrolix
