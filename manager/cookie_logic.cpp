#include "cookie_logic.h"

#include <algorithm>
#include <set>

#include "cookies.h"
#include "text.h"

namespace vendrolix::manager {
namespace {

// Adds entry unless a form of it differing only in case was met before. An
// empty entry names no site, and its "##" piece would match between any two
// kept entries, so it is never listed.
void AddUnique(std::set<std::string, LessNoCase>& seen, std::vector<std::string>& entries, std::string entry) {
  if (entry.empty()) return;
  if (seen.insert(entry).second) entries.push_back(std::move(entry));
}

}  // namespace

std::vector<std::string> IeEntries(const std::vector<std::string>& fileNames) {
  std::set<std::string, LessNoCase> seen;
  std::vector<std::string> entries;
  for (const std::string& name : fileNames) {
    if (cookies::IsIndexFile(name)) continue;
    AddUnique(seen, entries, cookies::IeCookieEntry(name));
  }
  return entries;
}

std::vector<std::string> NetscapeEntries(const std::function<bool(std::string&)>& nextLine) {
  std::set<std::string, LessNoCase> seen;
  std::vector<std::string> entries;
  std::string line;
  for (std::size_t count = 0; count < cookies::kNetscapeLineLimit && nextLine(line); ++count) {
    if (std::optional<std::string> domain = cookies::NetscapeDomain(line)) AddUnique(seen, entries, *domain);
  }
  return entries;
}

NetscapeProfile FindNetscapeProfile(CookieFiles& files, bool installed, const std::string& storedFolder,
                                    const std::string& appData) {
  NetscapeProfile profile;
  if (!installed) return profile;
  profile.folder = storedFolder;
  if (cookies::IsProfileFolderName(storedFolder) && files.FileExists(storedFolder + cookies::kNetscapeCookieFile)) {
    profile.found = true;
    return profile;
  }
  std::string root = appData + cookies::kNetscapeProfileRoot;
  profile.folder = root;
  if (!files.FolderExists(root)) return profile;
  for (const std::string& name : files.Subfolders(root)) {
    if (!cookies::IsProfileFolderName(name)) continue;
    std::string candidate = root + "\\" + name;
    if (files.FileExists(candidate + cookies::kNetscapeCookieFile)) {
      profile.folder = candidate;
      profile.found = true;
      profile.store = true;
      return profile;
    }
  }
  return profile;
}

std::optional<std::string> AcceptedProfileInput(std::string_view typed) {
  std::string folder = Trim(typed);
  if (folder.size() <= 3 || !cookies::IsProfileFolderName(folder)) return std::nullopt;
  return folder;
}

std::vector<ListedCookie> ArrangeCookies(std::vector<std::string> entries, std::string_view keepLine) {
  std::stable_sort(entries.begin(), entries.end(), LessNoCase());
  std::vector<ListedCookie> kept;
  std::vector<ListedCookie> others;
  for (std::string& entry : entries) {
    bool keep = cookies::IsKept(keepLine, entry);
    (keep ? kept : others).push_back({std::move(entry), keep});
  }
  kept.insert(kept.end(), std::make_move_iterator(others.begin()), std::make_move_iterator(others.end()));
  return kept;
}

}  // namespace vendrolix::manager
