// The white list as more than one program reads it, and the sites it is
// offered: the host of a page whose pop-up was refused, recorded by the
// browser helper, offered by the tray and added by the manager.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "text.h"

namespace vendrolix {

// An address as a white-list keyword is matched against, by its parts, so
// that a page cannot list itself by what it puts in its own address: a
// keyword without "/" counts when it occurs in the host (with its port); a
// keyword with "/" when it occurs in the address before its query ("?") or
// fragment ("#"), the user-info left out. An address without a host
// (about:, file:) matches only keywords with "/". A keyword is trimmed; one
// that is empty then matches nothing. Letter case is ignored.
//
// Every reader of a white list (the browser helper's WebSite.dat and the
// administrator's AllowList, the tray's offer) matches through this one
// rule. The address is indexed once for many keywords.
class ListedAddress {
 public:
  explicit ListedAddress(std::string_view address) : ListedAddress(Split(address)) {}
  ListedAddress(const ListedAddress&) = delete;
  ListedAddress& operator=(const ListedAddress&) = delete;

  bool Matches(std::string_view keyword) const;
  const std::string& host() const { return host_; }
  const std::string& beforeQuery() const { return beforeQuery_; }

 private:
  struct Parts {
    std::string host;
    std::string beforeQuery;
  };
  static Parts Split(std::string_view address);
  explicit ListedAddress(Parts parts);

  // Declared before the finders, which keep views of them.
  std::string host_;
  std::string beforeQuery_;
  NoCaseFinder hostFinder_;
  NoCaseFinder addressFinder_;
};

// Entries of a white list file read line by line (nextLine returns false at
// the end). The first line is the count; a count that is not a number, is
// negative or is missing loads nothing. A count larger than the lines present
// loads the lines present: nothing is made up. Entries are taken unchanged.
std::vector<std::string> ParseWebSiteList(const std::function<bool(std::string&)>& nextLine);
std::vector<std::string> ParseWebSiteList(std::string_view content);
// The same reading, each entry handed to visit (false: stop) and none kept.
void ForEachWebSite(const std::function<bool(std::string&)>& nextLine,
                    const std::function<bool(const std::string&)>& visit);

// A white-list line longer than this makes the list unreadable: no keyword
// is that long, and no program may hold a line without end.
inline constexpr std::size_t kWhiteListLineLimit = 64 * 1024;

// The longest host a name can be; a longer text is no site and is never
// recorded, offered or added.
inline constexpr std::size_t kSiteLimit = 255;

// The host of a web address (http, https or ftp), without user, password or
// port, letter case kept; "" for an address that names no host (about:blank,
// a file, a script) or whose host is not one a keyword could be.
std::string SiteOfAddress(std::string_view address);

// True when text is a host as SiteOfAddress gives one: what the tray and the
// manager accept from the settings key, which any program could write.
bool IsSite(std::string_view text);

// True when text is a host the tray may offer to allow and the manager may
// add from that offer: letters, digits, '-' and '.', in at least two
// non-empty labels. A keyword is found anywhere in an address, so a bare
// top-level domain ("com") or a word every address holds ("http", "www")
// would white-list every page; a person may still type one as a keyword.
bool IsHostToAllow(std::string_view text);

// The option that hands the manager a host to allow, and the host of a
// command line's arguments that give it (the program's own name first, as
// Windows gives a command line); "" when they give none or not a host.
inline constexpr const char* kAllowSiteOption = "/AllowSite=";
std::string HostToAllowOfCommandLine(std::string_view commandLine);

// Whether a white list read line by line lets a page of site open windows:
// one of its keywords matches the site's own address, http://site/. The
// tray offers to allow a blocked site only while none does.
bool ListAllowsSite(const std::function<bool(std::string&)>& nextLine, std::string_view site);

// The first entry that is site, letter case ignored; npos when none is.
std::size_t FindSite(const std::vector<std::string>& entries, std::string_view site);

}  // namespace vendrolix
