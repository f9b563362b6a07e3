// The cookie page's rules that need no window: site entries of Netscape's
// cookie file (Internet Explorer's come from ie_cookies.h), the keep-list order and the path
// dialog's check. File access goes through
// CookieFiles, which the Win32 front end implements and tests fake.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ie_cookies.h"

namespace vendrolix::manager {

class CookieFiles {
 public:
  virtual ~CookieFiles() = default;
  virtual bool FolderExists(const std::string& path) = 0;
  virtual bool FileExists(const std::string& path) = 0;
  // Names of the folder's subfolders, in its own order.
  virtual std::vector<std::string> Subfolders(const std::string& folder) = 0;
  // On a fixed local drive and no reparse point (drive-letter paths only).
  virtual bool IsPlainLocal(const std::string& path) = 0;
};

// Entries of Netscape's cookie file, from at most its first 1000 lines,
// unique without regard to case.
std::vector<std::string> NetscapeEntries(const std::function<bool(std::string&)>& nextLine);

// The path dialog's check: the typed folder without its outer spaces when
// it ends with ".slt" and is longer than three characters.
std::optional<std::string> AcceptedProfileInput(std::string_view typed);

// The list as shown: entries in case-insensitive order, those the keep line
// spares first and ticked, then the others. An IE/AOL site is also spared by
// the old-style entry of one of its files.
struct ListedCookie {
  std::string entry;
  bool kept = false;
  bool enforced = false;  // kept by the administrator's KeepCookies
};
std::vector<ListedCookie> ArrangeCookies(std::vector<cookies::IeSite> sites, std::string_view keepLine);
std::vector<ListedCookie> ArrangeCookies(const std::vector<std::string>& entries, std::string_view keepLine);

inline constexpr const char* kIeCaption = "Auto-Clean IE/AOL Cookies When IE/AOL Exists.";
inline constexpr const char* kNsCaption = "Auto-Clean Cookies When Netscape Exists.(Disable Quick Launch)";
inline constexpr const char* kNoNetscapeTitle = "No Netscape";
inline constexpr const char* kNoNetscapeText = "Netscape isn't installed on your system.";
inline constexpr const char* kPathMustEndText = "The path of Cookie file should end with .slt";
inline constexpr const char* kStillNotFoundText = "The Cookie file still couldn't be find. Try it later!";

}  // namespace vendrolix::manager
