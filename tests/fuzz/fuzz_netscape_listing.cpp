// Netscape "Cookies.txt" listing: at most the first 1000 lines are read, each
// site listed once (letter case ignored), never an empty one, and every
// listed site is the trimmed first field of a cookie line that was read.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "cookie_logic.h"
#include "cookies.h"
#include "lines.h"
#include "text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string content(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> lines = vendrolix::SplitLines(content);
  std::size_t next = 0;
  const auto entries = vendrolix::manager::NetscapeEntries([&](std::string& line) {
    if (next >= lines.size()) return false;
    line = lines[next++];
    return true;
  });
  if (next > vendrolix::cookies::kNetscapeLineLimit) std::abort();

  std::set<std::string, vendrolix::LessNoCase> fields;
  for (std::size_t i = 0; i < next; ++i) {
    const std::string& l = lines[i];
    if (l.empty() || l[0] == '#') continue;
    const auto tab = l.find('\t');
    if (tab == std::string::npos) continue;
    fields.insert(vendrolix::Trim(std::string_view(l).substr(0, tab)));
  }
  std::set<std::string, vendrolix::LessNoCase> seen;
  for (const auto& e : entries) {
    if (e.empty() || e.find('\t') != std::string::npos) std::abort();
    if (!seen.insert(e).second) std::abort();
    if (!fields.count(e)) std::abort();
  }
  // Every non-empty site read is listed in some letter case.
  for (const auto& f : fields) {
    if (!f.empty() && !seen.count(f)) std::abort();
  }
  return 0;
}
