#include "ie_cookies.h"

#include <unordered_map>

#include "cookies.h"
#include "text.h"

namespace vendrolix::cookies {
namespace {

constexpr std::string_view kEntryPrefix = "Cookie:";
constexpr std::size_t kRecordLines = 9;

std::string_view FileNameOf(std::string_view path) {
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool IsDigits(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// A host as the records hold it: no spaces or control bytes, which a line
// cut from some other file would show.
bool IsHost(std::string_view host) {
  if (host.empty()) return false;
  for (const char c : host) {
    if (static_cast<unsigned char>(c) <= ' ' || c == '@') return false;
  }
  return true;
}

std::vector<std::string_view> SplitLines(std::string_view content) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string_view::npos) end = content.size();
    std::string_view line = content.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

bool IsCookieFile(std::string_view fileName) {
  return EndsWithNoCase(fileName, ".txt") && !IsIndexFile(fileName);
}

// Files of a folder that hold cookies and that no reachable index entry
// holds, each with the sites of its records; false when the folder cannot
// be listed.
bool AddLooseFiles(IeCookieStore& store, const std::string& folder, const std::unordered_set<std::string>& indexed,
                   const std::string& user, std::vector<IeCookie>& cookies) {
  const auto names = store.FilesOf(folder);
  if (!names) return false;
  for (const std::string& name : *names) {
    if (!IsCookieFile(name)) continue;
    const std::string path = folder + "\\" + name;
    if (indexed.count(ToUpper(path))) continue;
    IeCookie cookie;
    cookie.oldEntry = std::string(OldStyleEntry(name));
    cookie.file = path;
    if (const auto content = store.ReadBytes(path)) {
      if (auto sites = RecordSites(*content, user)) cookie.sites = std::move(*sites);
    }
    cookies.push_back(std::move(cookie));
  }
  return true;
}

}  // namespace

std::string_view StoreSite(std::string_view entryName) {
  if (!StartsWithNoCase(entryName, kEntryPrefix)) return std::string_view();
  std::string_view site = entryName.substr(kEntryPrefix.size());
  const std::size_t at = site.find('@');
  if (at == std::string_view::npos || at == 0) return std::string_view();
  const std::size_t slash = site.find('/', at);
  if (slash != std::string_view::npos) site = site.substr(0, slash);
  if (site.size() == at + 1) return std::string_view();
  return site;
}

std::string_view OldStyleEntry(std::string_view fileName) {
  const std::size_t bracket = fileName.find('[');
  if (bracket == std::string_view::npos || bracket == 0) return std::string_view();
  const std::size_t at = fileName.find('@');
  if (at == std::string_view::npos || at == 0 || at + 1 >= bracket) return std::string_view();
  return fileName.substr(0, bracket);
}

std::optional<std::vector<std::string>> RecordSites(std::string_view content, std::string_view user) {
  const std::vector<std::string_view> lines = SplitLines(content);
  if (lines.empty() || lines.size() % kRecordLines != 0) return std::nullopt;
  std::vector<std::string> sites;
  std::unordered_set<std::string> seen;
  for (std::size_t first = 0; first < lines.size(); first += kRecordLines) {
    if (lines[first + 8] != "*") return std::nullopt;
    for (std::size_t n = 3; n < 8; ++n) {
      if (!IsDigits(lines[first + n])) return std::nullopt;
    }
    std::string_view host = lines[first + 2];
    const std::size_t slash = host.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    host = host.substr(0, slash);
    // A domain cookie may carry the leading dot of its Set-Cookie header;
    // the index names its host without it.
    if (!host.empty() && host.front() == '.') host.remove_prefix(1);
    if (!IsHost(host)) return std::nullopt;
    std::string site = std::string(user) + "@" + std::string(host);
    if (seen.insert(ToUpper(site)).second) sites.push_back(std::move(site));
  }
  return sites;
}

IeCookies ReadIeCookies(IeCookieStore& store, const std::optional<std::string>& cookieFolder) {
  IeCookies result;
  std::unordered_set<std::string> indexed;
  const auto entries = store.IndexEntries();
  if (entries) {
    result.read = true;
    result.cookies.reserve(entries->size());
    if (cookieFolder) indexed.reserve(entries->size());
    for (const IndexEntry& entry : *entries) {
      const std::string_view site = StoreSite(entry.name);
      if (site.empty()) continue;
      IeCookie cookie;
      cookie.sites.emplace_back(site);
      cookie.oldEntry = std::string(OldStyleEntry(FileNameOf(entry.localFile)));
      cookie.entryName = entry.name;
      // Only the folders' files need telling apart from the index's.
      if (cookieFolder && !entry.localFile.empty()) indexed.insert(ToUpper(entry.localFile));
      result.cookies.push_back(std::move(cookie));
    }
  }
  if (!cookieFolder) return result;
  const std::string user = store.UserName();
  // Without the index the folder itself is all there is to go by.
  if (!entries && !(result.read = AddLooseFiles(store, *cookieFolder, indexed, user, result.cookies))) return result;
  AddLooseFiles(store, *cookieFolder + kLowStoreFolder, indexed, user, result.cookies);
  return result;
}

std::vector<IeSite> IeSites(const std::vector<IeCookie>& cookies) {
  std::vector<IeSite> sites;
  std::unordered_map<std::string, std::size_t> at;
  at.reserve(cookies.size());
  const auto add = [&](const std::string& entry, const std::string& oldEntry) {
    if (entry.empty()) return;
    const auto [it, added] = at.emplace(ToUpper(entry), sites.size());
    if (added) sites.push_back({entry, {}});
    if (oldEntry.empty()) return;
    std::vector<std::string>& old = sites[it->second].oldEntries;
    for (const std::string& known : old) {
      if (EqualsNoCase(known, oldEntry)) return;
    }
    old.push_back(oldEntry);
  };
  for (const IeCookie& cookie : cookies) {
    if (cookie.sites.empty()) {
      add(cookie.oldEntry, std::string());
      continue;
    }
    for (const std::string& site : cookie.sites) add(site, cookie.oldEntry);
  }
  return sites;
}

KeepLookup::KeepLookup(std::string_view line) : line_(line) {
  for (std::size_t hash = line.find('#'); hash != std::string_view::npos;) {
    const std::size_t next = line.find('#', hash + 1);
    if (next == std::string_view::npos) break;
    segments_.insert(ToUpper(line.substr(hash + 1, next - hash - 1)));
    hash = next;
  }
}

bool KeepLookup::Keeps(std::string_view entry) const {
  if (entry.find('#') != std::string_view::npos) return IsKept(line_, entry);
  return segments_.count(ToUpper(entry)) > 0;
}

bool KeepLookup::Keeps(const IeSite& site) const {
  if (Keeps(site.entry)) return true;
  for (const std::string& old : site.oldEntries) {
    if (Keeps(old)) return true;
  }
  return false;
}

std::vector<const IeCookie*> IeCookiesToDelete(const std::vector<IeCookie>& cookies, std::string_view keepLine) {
  const KeepLookup keep(keepLine);
  // Kept by site, not by cookie: a site ticked through the old-style name of
  // one of its files keeps every cookie the manager showed under it.
  std::unordered_set<std::string> kept;
  for (const IeSite& site : IeSites(cookies)) {
    if (keep.Keeps(site)) kept.insert(ToUpper(site.entry));
  }
  std::vector<const IeCookie*> doomed;
  for (const IeCookie& cookie : cookies) {
    if (cookie.sites.empty()) continue;
    bool spared = false;
    for (const std::string& site : cookie.sites) spared = spared || kept.count(ToUpper(site)) > 0;
    if (!spared) doomed.push_back(&cookie);
  }
  return doomed;
}

}  // namespace vendrolix::cookies
