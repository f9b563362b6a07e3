// Keep lists: the line the manager writes, read back as the cleaner and the
// manager read it (the file's first line), spares exactly the ticked entries
// and their case variants, and the listing marks what the line spares.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cookie_logic.h"
#include "cookies.h"
#include "lines.h"
#include "text.h"

namespace {

// What a keep list reader takes from a file: its first line ("" when empty).
std::string FirstLine(const std::string& file) {
  const auto lines = vendrolix::SplitLines(file);
  return lines.empty() ? std::string() : lines.front();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string storedFile = input.ConsumeRandomLengthString(4096);
  std::vector<std::string> listed;
  while (input.remaining_bytes() > 0 && listed.size() < 64) listed.push_back(input.ConsumeRandomLengthString(64));

  // Any stored file: the listing keeps every entry once, kept ones first and
  // ticked exactly when the line spares them.
  const std::string storedLine = FirstLine(storedFile);
  const auto arranged = vendrolix::manager::ArrangeCookies(listed, storedLine);
  if (arranged.size() != listed.size()) std::abort();
  bool seenOther = false;
  for (const auto& c : arranged) {
    if (c.kept != vendrolix::cookies::IsKept(storedLine, c.entry)) std::abort();
    if (c.kept && seenOther) std::abort();
    seenOther = seenOther || !c.kept;
  }

  // The white-list index answers as the plain search does.
  vendrolix::NoCaseFinder finder(storedLine);
  for (const auto& e : listed) {
    if (finder.Contains(e) != vendrolix::ContainsNoCase(storedLine, e)) std::abort();
  }

  // Written and read back: every ticked entry (without "#" or a line end, as
  // list entries are) is spared, in any letter case.
  std::vector<std::string> ticked;
  for (const auto& e : listed) {
    if (e.find_first_of("#\r\n") == std::string::npos && !e.empty()) ticked.push_back(e);
  }
  const std::string written = vendrolix::cookies::FormatKeepFile(ticked);
  const std::string line = FirstLine(written);
  if (line != vendrolix::cookies::FormatKeepLine(ticked)) std::abort();
  for (const auto& e : ticked) {
    if (!vendrolix::cookies::IsKept(line, e)) std::abort();
    if (!vendrolix::cookies::IsKept(line, vendrolix::ToLower(e))) std::abort();
  }
  // A listing of the ticked entries comes back all ticked.
  for (const auto& c : vendrolix::manager::ArrangeCookies(ticked, line)) {
    if (!c.kept) std::abort();
  }
  return 0;
}
