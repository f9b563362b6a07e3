// The registry mechanics every program of the suite shares: open a key,
// one read or write, close it. Keys are never created here.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>

#include "win32/handles.h"

namespace vendrolix::win32 {

// 32-bit and 64-bit processes would otherwise see different HKLM\Software
// views and never share a setting, so every program of either bitness uses
// the 32-bit view.
inline constexpr REGSAM kSuiteView = KEY_WOW64_32KEY;

// Opens root\subKey in the suite's view asking for exactly `rights`: a user
// who may read the settings but not write them must still be able to read
// them, and a browser at low integrity must be able to write what it may.
UniqueHKey OpenSuiteKey(HKEY root, const char* subKey, REGSAM rights);

// Reads a value as text into a buffer of bufferSize bytes. Fails when the
// key or value is missing or unreadable, or the text with its terminator
// does not fit. The text is the stored bytes up to the first NUL; the type
// is not checked.
bool ReadRegText(HKEY root, const char* subKey, const char* name, std::size_t bufferSize, std::string& text);
// The same read from a key already open.
bool ReadRegText(HKEY key, const char* name, std::size_t bufferSize, std::string& text);
// That read with the system's answer: ERROR_SUCCESS, or why not (among them
// ERROR_KEY_DELETED for a key deleted since it was opened).
LONG QueryRegText(HKEY key, const char* name, std::size_t bufferSize, std::string& text);

// Writes REG_SZ text (with its terminator, as every reader expects).
bool WriteRegText(HKEY root, const char* subKey, const char* name, const std::string& text);

bool WriteRegDword(HKEY root, const char* subKey, const char* name, DWORD value);

bool DeleteRegValue(HKEY root, const char* subKey, const char* name);

// A settings value where PlaceOf puts it (settings.h): the root and key of
// this user's or this logon session's copy, or the machine's.
struct SettingKeyPath {
  HKEY root;
  std::string subKey;
  bool isVolatile;  // the session's key goes with the logon
};
SettingKeyPath SettingKeyPathOf(const char* name);
// Opens the key that holds name with those rights; with create, a user's or
// session's key is made when missing (the machine's never: the installer
// makes those).
UniqueHKey OpenSettingKey(const char* name, REGSAM rights, bool create = false);
// The value's text as stored: the user's copy, else, for a value of the
// user's with a machine-wide default, the machine's; nullopt when neither
// can be read within bufferSize.
std::optional<std::string> ReadSettingText(const char* name, std::size_t bufferSize);
bool WriteSettingText(const char* name, const std::string& text);
bool DeleteSetting(const char* name);

}  // namespace vendrolix::win32
