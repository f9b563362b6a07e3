#include "browser_windows.h"

#include <algorithm>
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

// The three sources overlap: a frame window is listed by the collection and
// holds the pages of its tabs. So under each top-level window, the window
// counts as many browser windows as the source that sees the most of them
// there. The lists are short: plain loops keep the browser helper small.
int CountOnce(const BrowserWindowCensus& census, const QuittingWindow* quitting) {
  const std::vector<WindowKey> none;
  const std::vector<WindowKey>& listed = census.listed ? *census.listed : none;
  // The quitting window is still listed, under its own top-level window;
  // every page of its thread is its own; its frame holds no other browser
  // window that a tab of that window would not show.
  const std::size_t own =
      quitting ? static_cast<std::size_t>(std::find(listed.begin(), listed.end(), quitting->root) - listed.begin())
               : listed.size();
  const auto pageCounts = [quitting](const PageWindow& page) { return !quitting || page.thread != quitting->thread; };
  const auto frameCounts = [quitting](WindowKey frame) { return !quitting || frame != quitting->root; };

  std::vector<WindowKey> roots;
  const auto add = [&roots](WindowKey root) {
    if (std::find(roots.begin(), roots.end(), root) == roots.end()) roots.push_back(root);
  };
  for (std::size_t i = 0; i < listed.size(); ++i) {
    if (i != own) add(listed[i]);
  }
  for (const PageWindow& page : census.pages) {
    if (pageCounts(page)) add(page.root);
  }
  for (const WindowKey frame : census.frames) {
    if (frameCounts(frame)) add(frame);
  }

  int count = 0;
  for (const WindowKey root : roots) {
    int listedThere = 0;
    for (std::size_t i = 0; i < listed.size(); ++i) listedThere += i != own && listed[i] == root;
    // One page thread is one browser window, however many frames it shows.
    int threadsThere = 0;
    for (std::size_t i = 0; i < census.pages.size(); ++i) {
      const PageWindow& page = census.pages[i];
      if (page.root != root || !pageCounts(page)) continue;
      bool first = true;
      for (std::size_t j = 0; j < i && first; ++j) {
        first = census.pages[j].root != root || census.pages[j].thread != page.thread;
      }
      threadsThere += first;
    }
    int frameThere = 0;
    for (const WindowKey frame : census.frames) frameThere |= frame == root && frameCounts(frame);
    count += std::max({listedThere, threadsThere, frameThere});
  }
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
