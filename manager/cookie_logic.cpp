#include "cookie_logic.h"

#include <algorithm>
#include <unordered_set>

#include "cookies.h"
#include "text.h"

namespace vendrolix::manager {
namespace {

// The first of each group of texts that are equal without regard to case,
// in their order; empty texts are dropped (an empty entry names no site, and
// its "##" piece would match between any two kept entries).
std::vector<std::string> FirstOfEach(const std::vector<std::string_view>& texts) {
  std::unordered_set<std::string> seen(texts.size());
  std::vector<std::string> result;
  for (const std::string_view text : texts) {
    if (!text.empty() && seen.insert(ToUpper(text)).second) result.emplace_back(text);
  }
  return result;
}

}  // namespace

std::vector<std::string> NetscapeEntries(const std::function<bool(std::string&)>& nextLine) {
  std::vector<std::string> domains;
  std::string line;
  for (std::size_t count = 0; count < cookies::kNetscapeLineLimit && nextLine(line); ++count) {
    if (std::optional<std::string> domain = cookies::NetscapeDomain(line)) domains.push_back(std::move(*domain));
  }
  return FirstOfEach(std::vector<std::string_view>(domains.begin(), domains.end()));
}

std::optional<std::string> AcceptedProfileInput(std::string_view typed) {
  std::string folder = Trim(typed);
  if (folder.size() <= 3 || !cookies::IsProfileFolderName(folder)) return std::nullopt;
  return folder;
}

std::vector<ListedCookie> ArrangeCookies(std::vector<cookies::IeSite> sites, std::string_view keepLine) {
  std::stable_sort(sites.begin(), sites.end(),
                   [](const cookies::IeSite& a, const cookies::IeSite& b) { return LessNoCase()(a.entry, b.entry); });
  const cookies::KeepLookup kept(keepLine);
  std::vector<ListedCookie> listed;
  listed.reserve(sites.size());
  for (cookies::IeSite& site : sites) {
    const bool keep = kept.Keeps(site);
    listed.push_back({std::move(site.entry), keep});
  }
  std::stable_partition(listed.begin(), listed.end(), [](const ListedCookie& c) { return c.kept; });
  return listed;
}

std::vector<ListedCookie> ArrangeCookies(const std::vector<std::string>& entries, std::string_view keepLine) {
  std::vector<cookies::IeSite> sites;
  sites.reserve(entries.size());
  for (const std::string& entry : entries) sites.push_back({entry, {}});
  return ArrangeCookies(std::move(sites), keepLine);
}

}  // namespace vendrolix::manager
