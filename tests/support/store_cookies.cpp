// The platform's own cookie store, driven from the Wine tests and the bench
// in a process of its own, as a browser would fill it:
//   store_cookies set URL COOKIE [URL COOKIE ...]   InternetSetCookieA each
//   store_cookies get URL                           prints InternetGetCookieA's answer; 1: none
//   store_cookies list                              prints each cookie entry's name, a tab
//                                                   and the file holding its records; 1: the
//                                                   store could not be read
//   store_cookies clear                             deletes every cookie entry
//   store_cookies bulk N FIRST                      N persistent cookies of the sites
//                                                   www.siteFIRST.example onwards
#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The patterns Windows documents and Wine answers to.
const char* const kPatterns[] = {"cookie:", "Cookie:"};

struct Entry {
  std::string name, file;
};

// An unreadable store is not an empty one: a test that saw "no entries"
// where the listing failed would report cookies deleted that are still there.
std::vector<Entry> Entries(bool* readable = nullptr) {
  if (readable) *readable = true;
  std::vector<Entry> names;
  std::vector<unsigned long long> buffer(512);
  for (const char* pattern : kPatterns) {
    auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer.data());
    DWORD size = static_cast<DWORD>(buffer.size() * sizeof(buffer[0]));
    HANDLE find = FindFirstUrlCacheEntryA(pattern, info, &size);
    if (!find) {
      if (GetLastError() != ERROR_NO_MORE_ITEMS && readable) *readable = false;
      continue;
    }
    do {
      if (info->CacheEntryType & COOKIE_CACHE_ENTRY) {
        names.push_back({info->lpszSourceUrlName, info->lpszLocalFileName ? info->lpszLocalFileName : ""});
      }
      size = static_cast<DWORD>(buffer.size() * sizeof(buffer[0]));
    } while (FindNextUrlCacheEntryA(find, info, &size));
    FindCloseUrlCache(find);
    if (!names.empty()) break;
  }
  return names;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "set") {
    int status = 0;
    for (int i = 2; i + 1 < argc; i += 2) {
      if (!InternetSetCookieA(argv[i], nullptr, argv[i + 1])) status = 1;
    }
    return status;
  }
  if (mode == "get" && argc > 2) {
    char value[4096] = {};
    DWORD size = sizeof(value);
    if (!InternetGetCookieA(argv[2], nullptr, value, &size)) return 1;
    std::printf("%s\n", value);
    return 0;
  }
  if (mode == "list") {
    bool readable = true;
    const std::vector<Entry> entries = Entries(&readable);
    for (const Entry& entry : entries) std::printf("%s\t%s\n", entry.name.c_str(), entry.file.c_str());
    return entries.empty() && !readable ? 1 : 0;
  }
  if (mode == "clear") {
    int status = 0;
    for (const Entry& entry : Entries()) {
      if (!DeleteUrlCacheEntryA(entry.name.c_str())) status = 1;
    }
    return status;
  }
  if (mode == "bulk" && argc > 3) {
    const long count = std::strtol(argv[2], nullptr, 10);
    const long first = std::strtol(argv[3], nullptr, 10);
    for (long i = first; i < first + count; ++i) {
      char url[64];
      std::snprintf(url, sizeof url, "http://www.site%06ld.example/", i);
      if (!InternetSetCookieA(url, nullptr, "id=1; expires=Fri, 01 Jan 2038 00:00:00 GMT")) return 1;
    }
    return 0;
  }
  return 2;
}
