// What the cookie cleaner does, apart from the Windows calls that carry it
// out. The cleaner spares exactly what the cookie manager showed as kept, so
// every site entry here comes from the rules the manager lists with
// (cookies.h). Whenever something the decision rests on cannot be read, the
// cleaner deletes nothing: a lost keep list must never cost the user cookies.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ie_cookies.h"
#include "policy.h"

namespace vendrolix::cleaner {

// The callers pass this code; anything else leaves every cookie alone.
bool IsAccessCode(std::string_view code);

// "Cookies.txt" without the cookie lines whose domain the keep line does not
// spare, and how many were dropped. Every other line (comments, blank lines,
// lines without a tab) and every kept line stays byte for byte, its line end
// included.
struct NetscapeRewrite {
  std::string content;
  int dropped = 0;
};
// A line of a host the administrator keeps (keptHosts, KeepCookies) stays too.
NetscapeRewrite RewriteNetscapeCookies(std::string_view content, std::string_view keepLine,
                                       const std::vector<std::string>& keptHosts = {});

// What the cleaner needs from the machine. The Windows shell implements it;
// tests fake it. Every query answers "nothing" when it cannot be answered.
class Machine {
 public:
  virtual ~Machine() = default;
  // A keep list of the installation folder, whole; nullopt when the file is
  // missing or unreadable.
  virtual std::optional<std::string> ReadKeepFile(const std::string& fileName) = 0;
  // A folder of the current user's shell folders; nullopt when unknown.
  virtual std::optional<std::string> ShellFolder(const std::string& name) = 0;
  // The stored Netscape profile folder (PathNSCookie); nullopt when unset.
  virtual std::optional<std::string> StoredNetscapeProfile() = 0;
  virtual bool FolderExists(const std::string& path) = 0;
  virtual bool FileExists(const std::string& path) = 0;
  // Names of the subfolders in enumeration order.
  virtual std::vector<std::string> SubfoldersOf(const std::string& folder) = 0;
  // On a fixed local drive and no reparse point (drive-letter paths only).
  virtual bool IsPlainLocal(const std::string& path) = 0;
  // nullopt when unreadable or larger than a Netscape cookie file can be.
  virtual std::optional<std::string> ReadBytes(const std::string& path) = 0;
  virtual bool ReplaceBytes(const std::string& path, const std::string& content) = 0;
  // Internet Explorer's cookie store as this process reaches it.
  virtual cookies::IeCookieStore& IeStore() = 0;
  // The administrator's KeepCookies (none by default); readFailed when the
  // policy is there but could not be read.
  virtual Policy ReadCookiePolicy() { return Policy(); }
};

// The line a keep list file spares, or nullopt when there is no list to go
// by: the file is missing, unreadable or empty. Every save writes at least a
// line end, so a file of 0 bytes was never saved (a reader made it, or a
// copy was cut short) and must not read as "keep nothing".
std::optional<std::string> KeepLineOf(const std::optional<std::string>& file);

// The Netscape profile folder holding "Cookies.txt", found as the cookie
// manager finds it (stored folder first, then the default profile search),
// but never stored: nullopt when there is none.
std::optional<std::string> FindNetscapeProfile(Machine& machine);

struct Outcome {
  bool acted = false;    // the keep list and the cookies could be read
  int removed = 0;       // cookies deleted, or cookie lines dropped
  int failures = 0;      // deletions or the rewrite that did not succeed
};

// Both stores as far as this process reaches them: inside a Protected Mode
// browser only the Low store, from the user's own programs the index of the
// store and the Low store's files.
Outcome CleanIeCookies(Machine& machine);
Outcome CleanNetscapeCookies(Machine& machine);

}  // namespace vendrolix::cleaner
