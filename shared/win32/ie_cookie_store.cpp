#include "win32/ie_cookie_store.h"

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <vector>

#include "text.h"
#include "win32/file_io.h"
#include "win32/handles.h"

namespace vendrolix::win32 {
namespace {

struct UrlCacheFindTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { FindCloseUrlCache(h); }
};
using UniqueUrlCacheFind = UniqueHandle<UrlCacheFindTraits>;

// Windows documents the cookie container's search pattern as "cookie:";
// Wine matches the prefix with its case and answers only to "Cookie:".
// Whichever the platform answers to is the one its store goes by.
constexpr const char* kPatterns[] = {"cookie:", "Cookie:"};

// An entry is a few hundred bytes; a longer one grows the buffer.
constexpr DWORD kFirstEntryBuffer = 1024;

// Held as 8-byte units: the entry's fields need their natural alignment.
class EntryBuffer {
 public:
  EntryBuffer() : units_(kFirstEntryBuffer / sizeof(std::uint64_t)) {}
  INTERNET_CACHE_ENTRY_INFOA* get() { return reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(units_.data()); }
  DWORD size() const { return static_cast<DWORD>(units_.size() * sizeof(std::uint64_t)); }
  // Grown to what the store asked for; false when that is no growth, which
  // would loop for ever.
  bool Grow(DWORD needed) {
    if (needed <= size()) return false;
    units_.assign((needed + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t), 0);
    return true;
  }

 private:
  std::vector<std::uint64_t> units_;
};

template <typename Call>
bool Fetch(EntryBuffer& buffer, Call call) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD size = buffer.size();
    if (call(buffer.get(), &size)) return true;
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || !buffer.Grow(size)) return false;
  }
  return false;
}

void Take(INTERNET_CACHE_ENTRY_INFOA* info, std::vector<cookies::IndexEntry>& entries) {
  if (!(info->CacheEntryType & COOKIE_CACHE_ENTRY) || !info->lpszSourceUrlName) return;
  entries.push_back({info->lpszSourceUrlName, info->lpszLocalFileName ? info->lpszLocalFileName : ""});
}

}  // namespace

std::optional<std::vector<cookies::IndexEntry>> WinInetCookieStore::IndexEntries() {
  std::vector<cookies::IndexEntry> entries;
  EntryBuffer buffer;
  for (const char* pattern : kPatterns) {
    UniqueUrlCacheFind find;
    const bool first = Fetch(buffer, [&](INTERNET_CACHE_ENTRY_INFOA* info, DWORD* size) {
      find.reset(FindFirstUrlCacheEntryA(pattern, info, size));
      return static_cast<bool>(find);
    });
    if (!first) {
      if (GetLastError() == ERROR_NO_MORE_ITEMS) continue;
      return std::nullopt;
    }
    Take(buffer.get(), entries);
    while (Fetch(buffer, [&](INTERNET_CACHE_ENTRY_INFOA* info, DWORD* size) {
      return FindNextUrlCacheEntryA(find.get(), info, size) != FALSE;
    })) {
      Take(buffer.get(), entries);
    }
    if (GetLastError() != ERROR_NO_MORE_ITEMS) return std::nullopt;
    return entries;
  }
  return entries;
}

std::optional<std::vector<std::string>> WinInetCookieStore::FilesOf(const std::string& folder) {
  return ListFolder(folder, FolderEntries::Files);
}

std::optional<std::string> WinInetCookieStore::ReadBytes(const std::string& path) {
  // A site's cookie file holds at most a few dozen records of a few KB; a
  // bigger file is no cookie file, and reading it whole inside a browser
  // could exhaust its memory.
  constexpr LONGLONG kLargestCookieFile = 1024 * 1024;
  UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > kLargestCookieFile) return std::nullopt;
  std::string content(static_cast<std::size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!content.empty() && !ReadFile(file.get(), &content[0], static_cast<DWORD>(content.size()), &read, nullptr)) {
    return std::nullopt;
  }
  content.resize(read);
  return content;
}

std::string WinInetCookieStore::UserName() {
  char name[257] = {};
  DWORD size = sizeof(name);
  if (!GetUserNameA(name, &size)) return std::string();
  return name;
}

bool WinInetCookieStore::DeleteEntry(const std::string& name) {
  if (DeleteUrlCacheEntryA(name.c_str())) return true;
  const DWORD error = GetLastError();
  // Held open by a browser: the store deletes it once released. Gone
  // already: another program cleaned first.
  return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_FILE_NOT_FOUND;
}

bool WinInetCookieStore::RemoveFile(const std::string& path) {
  if (DeleteFileA(path.c_str())) return true;
  return GetLastError() == ERROR_FILE_NOT_FOUND;
}

}  // namespace vendrolix::win32
