// Internet Explorer's cookie store as the manager lists it and the cookie
// cleaner cleans it. Since 2011 the browser names its cookie files at random
// and keeps a cookie's site only in the store's index and in the file's own
// records, so a file's name says nothing about whose cookie it is; the site
// comes from the index wherever the index can be read, else from the records.
// The manager and the cleaner both go through ReadIeCookies and KeepLookup,
// so what one shows as kept is exactly what the other spares.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace vendrolix::cookies {

// One entry of the store's index: its name ("Cookie:user@host/path") and
// the full path of the file that holds its records (empty when unknown).
struct IndexEntry {
  std::string name;
  std::string localFile;
};

// What the rules need of the platform's store. The Windows side implements
// it with WinINet and the file system; tests fake it.
class IeCookieStore {
 public:
  virtual ~IeCookieStore() = default;
  // The cookie entries of the index this process reaches; nullopt when it
  // cannot be read at all (an empty store is an empty list).
  virtual std::optional<std::vector<IndexEntry>> IndexEntries() = 0;
  // Names of a folder's plain files; nullopt when it cannot be listed.
  virtual std::optional<std::vector<std::string>> FilesOf(const std::string& folder) = 0;
  virtual std::optional<std::string> ReadBytes(const std::string& path) = 0;
  // The name the store puts before "@" in its entries.
  virtual std::string UserName() = 0;
  // True when the entry is gone or the store deletes it once the browser
  // lets go of it.
  virtual bool DeleteEntry(const std::string& name) = 0;
  virtual bool RemoveFile(const std::string& path) = 0;
};

// The folder inside the cookie folder that holds the cookies of the zones
// the browser runs at low integrity (Protected Mode).
inline constexpr const char* kLowStoreFolder = "\\Low";

// "user@host" of an index entry's name: without "Cookie:" (any case) and
// without the path; empty for a name that is no cookie entry.
std::string_view StoreSite(std::string_view entryName);

// The entry an old-style file name ("user@site[1].txt") gave the keep lists
// saved before the store was read by its index: the name before its first
// "[". Empty for any other name, random ones included.
std::string_view OldStyleEntry(std::string_view fileName);

// The sites ("user@host") of a cookie file's records, unique ignoring case,
// or nullopt when the content is not whole records: 9 lines each (name,
// value, host/path, flags, four times, "*").
std::optional<std::vector<std::string>> RecordSites(std::string_view content, std::string_view user);

// One thing the cleaner deletes as a whole: an index entry, or a file that
// no reachable index entry holds.
struct IeCookie {
  std::vector<std::string> sites;  // empty: its records could not be read
  std::string oldEntry;            // its file's old-style entry, or empty
  std::string entryName;           // deleted through the store when set
  std::string file;                // else deleted as this file
};

struct IeCookies {
  bool read = false;  // the index, or failing that the cookie folder, was read
  std::vector<IeCookie> cookies;
};

// The cookies of the store: every entry of the index this process reaches;
// then the files of the Low store that no such entry holds; and, only when
// the index cannot be read, the files of the cookie folder itself. A file's
// sites come from its records. cookieFolder is the "Cookies" shell folder.
IeCookies ReadIeCookies(IeCookieStore& store, const std::optional<std::string>& cookieFolder);

// A site as listed: the entry shown and saved, and the old-style entries of
// its files, which an older keep list may name instead.
struct IeSite {
  std::string entry;
  std::vector<std::string> oldEntries;
};

// One site per entry, unique ignoring case (the first form met is shown);
// a file whose records cannot be read shows under its old-style entry if it
// has one, else not at all.
std::vector<IeSite> IeSites(const std::vector<IeCookie>& cookies);

// The entries a keep line names, looked up in constant time: "#entry#"
// occurs in the line exactly when, for an entry without "#", the entry is
// one of the texts between two neighbouring "#"; other entries are
// searched for in the line itself.
class KeepLookup {
 public:
  explicit KeepLookup(std::string_view line);
  bool Keeps(std::string_view entry) const;
  bool Keeps(const IeSite& site) const;

 private:
  std::string line_;
  std::unordered_set<std::string> segments_;
};

// The cookies to delete: every cookie none of whose sites the keep line
// spares, by a site's entry or by any old-style entry of that site's files.
// A cookie whose records cannot be read is never deleted.
std::vector<const IeCookie*> IeCookiesToDelete(const std::vector<IeCookie>& cookies, std::string_view keepLine);

}  // namespace vendrolix::cookies
