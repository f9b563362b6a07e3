// Cookie rules: site entries from file names, store entries, cookie records
// and Netscape lines, and the
// keep list's round trip (every written entry is kept when read back).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cookies.h"
#include "ie_cookies.h"
#include "text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);

  const std::string_view site = vendrolix::cookies::StoreSite(input);
  if (!site.empty() && (site.find('@') == std::string_view::npos || site.find('/') != std::string_view::npos))
    std::abort();
  const std::string_view old = vendrolix::cookies::OldStyleEntry(input);
  if (!old.empty() && input.compare(0, old.size(), old) != 0) std::abort();
  if (const auto sites = vendrolix::cookies::RecordSites(input, "u")) {
    if (sites->empty()) std::abort();
    for (const auto& s : *sites) {
      if (s.compare(0, 2, "u@") != 0 || s.size() < 3 || s.find_first_of("/ \r\n") != std::string::npos) std::abort();
    }
  }

  const auto domain = vendrolix::cookies::NetscapeDomain(input);
  if (domain && (domain->find('\t') != std::string::npos || input.empty() || input[0] == '#')) std::abort();

  // Entries as the lists hold them never contain "#" or a line end.
  std::vector<std::string> entries;
  std::string current;
  for (char c : input) {
    if (c == '\n') {
      entries.push_back(current);
      current.clear();
    } else if (c != '#' && c != '\r') {
      current += c;
    }
  }
  entries.push_back(current);
  const std::string line = vendrolix::cookies::FormatKeepLine(entries);
  for (const auto& e : entries) {
    if (!vendrolix::cookies::IsKept(line, e)) std::abort();
    if (!vendrolix::cookies::IsKept(line, vendrolix::ToUpper(e))) std::abort();
  }
  const std::string file = vendrolix::cookies::FormatKeepFile(entries);
  if (file.size() != line.size() + 2 || file.compare(0, line.size(), line) != 0) std::abort();
  return 0;
}
