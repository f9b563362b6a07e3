// Internet Explorer's cookie store through WinINet's URL cache, for the
// manager and the cookie cleaner alike.
#pragma once

#include "ie_cookies.h"

namespace vendrolix::win32 {

class WinInetCookieStore final : public cookies::IeCookieStore {
 public:
  std::optional<std::vector<cookies::IndexEntry>> IndexEntries() override;
  std::optional<std::vector<std::string>> FilesOf(const std::string& folder) override;
  std::optional<std::string> ReadBytes(const std::string& path) override;
  std::string UserName() override;
  bool DeleteEntry(const std::string& name) override;
  bool RemoveFile(const std::string& path) override;
};

}  // namespace vendrolix::win32
