// IE/AOL cookie file names: the entry of a name, the manager's listing of a
// folder and the cleaner's choice of files to delete must agree: the cleaner
// deletes a cookie file exactly when the manager shows its site unticked.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "cleaning.h"
#include "cookie_logic.h"
#include "cookies.h"
#include "text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string keepLine = input.ConsumeRandomLengthString(1024);
  std::vector<std::string> names;
  while (input.remaining_bytes() > 0 && names.size() < 64) names.push_back(input.ConsumeRandomLengthString(300));

  for (const auto& name : names) {
    const std::string entry = vendrolix::cookies::IeCookieEntry(name);
    if (entry.size() > name.size() || name.compare(0, entry.size(), entry) != 0) std::abort();
    const auto bracket = name.find('[');
    if (bracket != std::string::npos && bracket > 0 && entry.size() != bracket) std::abort();
    if ((bracket == std::string::npos || bracket == 0) && entry.size() != (name.size() < 4 ? 0 : name.size() - 4))
      std::abort();
  }

  const auto entries = vendrolix::manager::IeEntries(names);
  const auto listed = vendrolix::manager::ArrangeCookies(entries, keepLine);
  std::map<std::string, bool, vendrolix::LessNoCase> shown;
  for (const auto& c : listed) {
    if (c.entry.empty()) std::abort();
    if (!shown.emplace(c.entry, c.kept).second) std::abort();  // listed once
  }

  const auto doomed = vendrolix::cleaner::IeCookieFilesToDelete(names, keepLine);
  std::size_t d = 0;
  for (const auto& name : names) {
    const bool deleted = d < doomed.size() && doomed[d] == name;
    if (deleted) ++d;
    if (!vendrolix::cleaner::IsIeCookieFile(name)) {
      if (deleted) std::abort();
      continue;
    }
    const std::string entry = vendrolix::cookies::IeCookieEntry(name);
    if (entry.empty()) continue;  // never listed; its "##" piece is the keep line's business
    const auto it = shown.find(entry);
    if (it == shown.end()) std::abort();
    if (deleted == it->second) std::abort();
  }
  if (d != doomed.size()) std::abort();
  return 0;
}
