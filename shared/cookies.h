// Cookie rules the manager and the cookie cleaner must apply identically:
// which site a cookie belongs to, and whether a keep list spares it.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text.h"

namespace vendrolix::cookies {

// The browser's index files in the cookie folder are not cookies.
bool IsIndexFile(std::string_view fileName);

// Site entry of a Netscape "Cookies.txt" line: the first tab-separated field,
// trimmed. Comment lines ("#" first) and lines without a tab have none.
std::optional<std::string> NetscapeDomain(std::string_view line);

// At most this many lines of "Cookies.txt" are listed.
inline constexpr std::size_t kNetscapeLineLimit = 1000;

// The keep list's one line holds "#entry#" pieces; an entry is kept when its
// piece occurs in the line, ignoring case (so "#ab#" keeps ab, not a or b).
bool IsKept(std::string_view keepLine, std::string_view entry);

// The keep list's line for these entries, in their order.
std::string FormatKeepLine(const std::vector<std::string>& keptEntries);

// The keep list file's whole content: the line and CR LF.
inline std::string FormatKeepFile(const std::vector<std::string>& keptEntries) {
  return FormatKeepLine(keptEntries) + "\r\n";
}

// A Netscape profile folder's name ends in ".slt" (any letter case).
bool IsProfileFolderName(std::string_view name);

// Fixed pieces of the Netscape profile search.
inline constexpr const char* kNetscapeProfileRoot = "\\Mozilla\\Profiles\\default";
inline constexpr const char* kNetscapeCookieFile = "\\Cookies.txt";

// What the profile search needs of the file system.
struct ProfileFolders {
  std::function<bool(const std::string& path)> folderExists;
  std::function<bool(const std::string& path)> fileExists;
  // Names of the folder's subfolders in the folder's own order.
  std::function<std::vector<std::string>(const std::string& folder)> subfolders;
  // The path (a drive-letter path) is on a fixed local drive and is no
  // reparse point: a junction or link could lead into another user's folder.
  std::function<bool(const std::string& path)> isPlainLocal;
};

// A local absolute path with a drive letter ("C:\..."). Every network form
// (\\host, //host, \\?\UNC\, \\.\, \??\) and every relative path fails, by
// its text alone: asking the file system about a network path already
// connects to that host and offers it the user's logon.
bool IsDriveLetterPath(std::string_view path);

// A "Cookies.txt" larger than this is no Netscape cookie file: it is neither
// listed nor cleaned, and never read whole into memory.
inline constexpr std::size_t kLargestNetscapeFile = 16u * 1024 * 1024;

struct NetscapeProfile {
  std::string folder;     // holds "Cookies.txt"
  bool searched = false;  // found by the search, not as stored: worth storing
};

// The Netscape profile folder holding "Cookies.txt": the stored folder when it
// is a profile folder that holds the file, else the first profile folder below
// appData's default profile root, in listed order, that holds it. Either way
// the folder and the file must be plain and local (IsDriveLetterPath, then
// isPlainLocal); the stored value is written by others than the programs
// that act on it. The manager
// lists from it and the cookie cleaner cleans in it, so both find the same one.
// nullopt when there is none; a missing appData searches nothing.
std::optional<NetscapeProfile> FindNetscapeProfile(const ProfileFolders& files, const std::string& storedFolder,
                                                   const std::optional<std::string>& appData);

}  // namespace vendrolix::cookies
