#include "browser_windows.h"

#include <algorithm>
#include <map>
#include <set>
#include <string>

#include "text.h"

namespace vendrolix {

bool PassesHostTest(std::string_view fullName) {
  std::string name = ToUpper(Trim(fullName));
  if (name.size() > 20) name.erase(0, name.size() - 20);
  const std::size_t slash = name.rfind('\\');
  if (slash != std::string::npos) name.erase(0, slash + 1);
  return !name.empty() && name[0] == 'I';
}

bool ImageNameIs(std::string_view imagePath, std::string_view fileName) {
  const std::size_t slash = imagePath.find_last_of("\\/");
  return EqualsNoCase(slash == std::string_view::npos ? imagePath : imagePath.substr(slash + 1), fileName);
}

namespace {

// What the three sources show under one top-level window. They overlap: a
// frame window is listed by the collection and holds the pages of its tabs,
// so the window counts as many browser windows as the source that sees the
// most of them there.
struct Seen {
  int listed = 0;
  std::set<std::uint32_t> pageThreads;
  bool frame = false;
  int Count() const { return std::max({listed, static_cast<int>(pageThreads.size()), frame ? 1 : 0}); }
};

int CountOnce(const BrowserWindowCensus& census, const QuittingWindow* quitting) {
  std::map<WindowKey, Seen> seen;
  // The quitting window is still listed, under its own top-level window;
  // one listing there is its own, and so is every page of its thread. Its
  // frame holds no other browser window that a tab of its own would not show.
  bool ownListingTaken = quitting == nullptr;
  if (census.listed) {
    for (const WindowKey root : *census.listed) {
      if (!ownListingTaken && root == quitting->root) {
        ownListingTaken = true;
        continue;
      }
      ++seen[root].listed;
    }
  }
  for (const PageWindow& page : census.pages) {
    if (quitting && page.thread == quitting->thread) continue;
    seen[page.root].pageThreads.insert(page.thread);
  }
  for (const WindowKey frame : census.frames) {
    if (quitting && frame == quitting->root) continue;
    seen[frame].frame = true;
  }
  int count = 0;
  for (const auto& entry : seen) count += entry.second.Count();
  return count;
}

}  // namespace

std::optional<int> OtherBrowserWindows(const BrowserWindowCensus& census, const QuittingWindow& quitting) {
  if (!census.walked || !census.listed) return std::nullopt;
  return CountOnce(census, &quitting);
}

bool BrowserWindowOpen(const BrowserWindowCensus& census) {
  return !census.walked || CountOnce(census, nullptr) > 0;
}

}  // namespace vendrolix
