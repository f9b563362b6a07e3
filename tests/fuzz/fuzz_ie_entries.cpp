// Internet Explorer's store, index entries and loose files with any names
// and contents: the manager's listing and the cleaner's choice must agree,
// so the cleaner deletes a cookie exactly when the manager shows every site
// of it unticked, and never one whose records cannot be read.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "cookie_logic.h"
#include "fake_ie_store.h"
#include "ie_cookies.h"
#include "text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string keepLine = input.ConsumeRandomLengthString(1024);
  vendrolix::test::FakeIeStore store;
  store.folders = {"C:\\C", "C:\\C\\Low"};
  if (input.ConsumeBool()) store.index.reset();
  while (input.remaining_bytes() > 0 && store.files.size() < 64) {
    const std::string name = input.ConsumeRandomLengthString(300);
    const std::string content = input.ConsumeRandomLengthString(600);
    const std::string folder = input.ConsumeBool() ? "C:\\C" : "C:\\C\\Low";
    if (store.index && input.ConsumeBool()) {
      store.index->push_back({name, folder + "\\" + content.substr(0, 20)});
    } else if (name.find('\\') == std::string::npos) {
      store.files[folder + "\\" + name] = content;
    }
  }

  const auto found = vendrolix::cookies::ReadIeCookies(store, std::string("C:\\C"));
  for (const auto& cookie : found.cookies) {
    for (const auto& site : cookie.sites) {
      if (site.find('@') == std::string::npos) std::abort();
    }
    if (!cookie.entryName.empty() && cookie.sites.size() != 1) std::abort();
  }
  const auto listed = vendrolix::manager::ArrangeCookies(vendrolix::cookies::IeSites(found.cookies), keepLine);
  std::map<std::string, bool, vendrolix::LessNoCase> shown;
  for (const auto& c : listed) {
    if (c.entry.empty()) std::abort();
    if (!shown.emplace(c.entry, c.kept).second) std::abort();  // listed once
  }

  const auto doomed = vendrolix::cookies::IeCookiesToDelete(found.cookies, keepLine);
  const std::set<const vendrolix::cookies::IeCookie*> gone(doomed.begin(), doomed.end());
  for (const auto& cookie : found.cookies) {
    const bool deleted = gone.count(&cookie) > 0;
    if (cookie.sites.empty()) {
      if (deleted) std::abort();
      continue;
    }
    bool anyKept = false;
    for (const auto& site : cookie.sites) {
      const auto it = shown.find(site);
      if (it == shown.end()) std::abort();
      anyKept = anyKept || it->second;
    }
    if (deleted == anyKept) std::abort();
  }
  return 0;
}
