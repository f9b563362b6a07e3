// Internet Explorer's cookie store in memory, for the native tests of the
// manager and the cleaner: an index of entries and the files of the cookie
// folder and its Low store. A deletion through the index takes the entry's
// file with it, as the store does.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ie_cookies.h"

namespace vendrolix::test {

// One cookie record as the store writes it (LF line ends, as Wine's
// WinINet writes them).
inline std::string CookieRecord(const std::string& hostPath, const std::string& name = "id") {
  return name + "\nv\n" + hostPath + "\n0\n3138338816\n32108254\n2139031001\n31295410\n*\n";
}

class FakeIeStore final : public cookies::IeCookieStore {
 public:
  std::optional<std::vector<cookies::IndexEntry>> index = std::vector<cookies::IndexEntry>{};
  std::map<std::string, std::string> files;  // full path -> content
  std::set<std::string> folders;             // the folders that can be listed
  std::set<std::string> undeletable;         // entry names or paths
  std::vector<std::string> deleted;          // entry names and paths, in order
  std::string user = "joe";

  // An index entry for "user@host/path" whose records lie in file.
  void Add(const std::string& sitePath, const std::string& file) {
    const std::string hostPath = sitePath.substr(sitePath.find('@') + 1);
    index->push_back({"Cookie:" + sitePath, file});
    files[file] = CookieRecord(hostPath);
  }

  std::optional<std::vector<cookies::IndexEntry>> IndexEntries() override { return index; }
  std::optional<std::vector<std::string>> FilesOf(const std::string& folder) override {
    if (!folders.count(folder)) return std::nullopt;
    std::vector<std::string> names;
    for (const auto& [path, content] : files) {
      if (path.size() > folder.size() + 1 && path.compare(0, folder.size() + 1, folder + "\\") == 0 &&
          path.find('\\', folder.size() + 1) == std::string::npos) {
        names.push_back(path.substr(folder.size() + 1));
      }
    }
    return names;
  }
  std::optional<std::string> ReadBytes(const std::string& path) override {
    const auto it = files.find(path);
    if (it == files.end()) return std::nullopt;
    return it->second;
  }
  std::string UserName() override { return user; }
  bool DeleteEntry(const std::string& name) override {
    if (undeletable.count(name) || !index) return false;
    for (auto it = index->begin(); it != index->end(); ++it) {
      if (it->name != name) continue;
      files.erase(it->localFile);
      index->erase(it);
      deleted.push_back(name);
      return true;
    }
    return false;
  }
  bool RemoveFile(const std::string& path) override {
    if (undeletable.count(path) || !files.erase(path)) return false;
    deleted.push_back(path);
    return true;
  }
};

}  // namespace vendrolix::test
