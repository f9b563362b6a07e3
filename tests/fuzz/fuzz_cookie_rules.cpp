// Cookie rules: site entries from file names and Netscape lines, and the
// keep list's round trip (every written entry is kept when read back).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cookies.h"
#include "text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);

  const std::string entry = vendrolix::cookies::IeCookieEntry(input);
  if (entry.size() > input.size()) std::abort();
  if (input.compare(0, entry.size(), entry) != 0) std::abort();

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
