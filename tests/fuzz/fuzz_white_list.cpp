// White list: the manager's reading and writing of WebSite.dat and the
// helper's lookup in it must agree, on any bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "decision.h"
#include "lines.h"
#include "manager_logic.h"

namespace {

bool Blank(const std::string& entry) { return entry.find_first_not_of(' ') == std::string::npos; }

std::int16_t Lookup(const std::string& content, const std::string& url) {
  const std::vector<std::string> lines = vendrolix::SplitLines(content);
  std::size_t next = 0;
  return vendrolix::helper::WhiteListLookup(
      [&](std::string& line) {
        if (next >= lines.size()) return false;
        line = lines[next++];
        return true;
      },
      url);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string url = input.ConsumeRandomLengthString(512);
  const std::string content = input.ConsumeRemainingBytesAsString();

  // Any file: the manager loads at most the lines present, the helper answers
  // 0 or 1, and 0 only for a keyword that is not blank.
  const std::vector<std::string> shown = vendrolix::manager::ParseWebSiteList(content);
  if (!shown.empty() && shown.size() >= vendrolix::SplitLines(content).size()) std::abort();
  const std::int16_t answer = Lookup(content, url);
  if (answer != 0 && answer != 1) std::abort();
  if (answer == 0) {
    bool any = false;
    for (const auto& e : shown) any = any || !Blank(e);
    if (!any) std::abort();
  }

  // Whatever a page appends as its query or fragment never changes the
  // answer.
  const std::string page = url.substr(0, url.find_first_of("?#"));
  if (Lookup(content, page) != Lookup(content, page + "?" + url) ||
      Lookup(content, page) != Lookup(content, page + "#" + url)) {
    std::abort();
  }

  // What the manager writes, it reads back without its blank keywords, and
  // the helper's reading of the file agrees with the match of each entry.
  std::vector<std::string> entries, kept;
  for (const auto& line : vendrolix::SplitLines(content)) {
    if (entries.size() == 200) break;
    entries.push_back(line);
    if (!Blank(line)) kept.push_back(line);
  }
  const std::string file = vendrolix::manager::FormatWebSiteList(entries);
  if (vendrolix::manager::ParseWebSiteList(file) != kept) std::abort();
  const vendrolix::ListedAddress address(url);
  bool expected = false;
  for (const auto& e : kept) expected = expected || address.Matches(e);
  if ((Lookup(file, url) == 0) != expected) std::abort();
  return 0;
}
