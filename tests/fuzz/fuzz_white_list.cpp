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

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// Containment as the rule says it: letter case ignored; nothing is found in
// an empty address, an empty entry is found in any other.
bool Matches(const std::string& url, const std::string& entry) {
  if (url.empty()) return false;
  return Lower(url).find(Lower(entry)) != std::string::npos;
}

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
  // 0 or 1, and 0 only for an entry the manager shows.
  const std::vector<std::string> shown = vendrolix::manager::ParseWebSiteList(content);
  if (!shown.empty() && shown.size() >= vendrolix::SplitLines(content).size()) std::abort();
  const std::int16_t answer = Lookup(content, url);
  if (answer != 0 && answer != 1) std::abort();
  if (answer == 0) {
    bool any = false;
    for (const auto& e : shown) any = any || Matches(url, e);
    if (!any) std::abort();
  }

  // What the manager writes, it reads back unchanged, and the helper finds a
  // match in it exactly when one of its entries is part of the address.
  std::vector<std::string> entries;
  for (const auto& line : vendrolix::SplitLines(content)) {
    if (entries.size() == 200) break;
    entries.push_back(line);
  }
  const std::string file = vendrolix::manager::FormatWebSiteList(entries);
  if (vendrolix::manager::ParseWebSiteList(file) != entries) std::abort();
  bool expected = false;
  for (const auto& e : entries) expected = expected || Matches(url, e);
  if ((Lookup(file, url) == 0) != expected) std::abort();
  return 0;
}
