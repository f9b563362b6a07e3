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

// The entries a keep line spares: "#entry#" occurs in the line exactly when,
// for an entry without "#", the entry is one of the texts between two
// neighbouring "#", so those are looked up; other entries are searched for.
class KeptEntries {
 public:
  explicit KeptEntries(std::string_view line) : line_(line) {
    for (std::size_t hash = line.find('#'); hash != std::string_view::npos;) {
      const std::size_t next = line.find('#', hash + 1);
      if (next == std::string_view::npos) break;
      segments_.insert(ToUpper(line.substr(hash + 1, next - hash - 1)));
      hash = next;
    }
  }
  bool Keeps(std::string_view entry) const {
    if (entry.find('#') != std::string_view::npos) return cookies::IsKept(line_, entry);
    return segments_.count(ToUpper(entry)) > 0;
  }

 private:
  std::string_view line_;
  std::unordered_set<std::string> segments_;
};

}  // namespace

std::vector<std::string> IeEntries(const std::vector<std::string>& fileNames) {
  std::vector<std::string_view> entries;
  entries.reserve(fileNames.size());
  for (const std::string& name : fileNames) {
    if (!cookies::IsIndexFile(name)) entries.push_back(cookies::IeCookieEntryView(name));
  }
  return FirstOfEach(entries);
}

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

std::vector<ListedCookie> ArrangeCookies(std::vector<std::string> entries, std::string_view keepLine) {
  std::stable_sort(entries.begin(), entries.end(), LessNoCase());
  const KeptEntries kept(keepLine);
  std::vector<ListedCookie> listed;
  listed.reserve(entries.size());
  for (std::string& entry : entries) {
    const bool keep = kept.Keeps(entry);
    listed.push_back({std::move(entry), keep});
  }
  std::stable_partition(listed.begin(), listed.end(), [](const ListedCookie& c) { return c.kept; });
  return listed;
}

}  // namespace vendrolix::manager
