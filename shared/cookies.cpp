#include "cookies.h"

#include "text.h"

namespace vendrolix::cookies {

bool IsIndexFile(std::string_view fileName) { return StartsWithNoCase(fileName, "INDEX"); }

std::optional<std::string> NetscapeDomain(std::string_view line) {
  if (!line.empty() && line[0] == '#') return std::nullopt;
  const std::size_t tab = line.find('\t');
  if (tab == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(0, tab));
}

bool IsKept(std::string_view keepLine, std::string_view entry) {
  std::string piece;
  piece.reserve(entry.size() + 2);
  piece += '#';
  piece += entry;
  piece += '#';
  return ContainsNoCase(keepLine, piece);
}

std::string FormatKeepLine(const std::vector<std::string>& keptEntries) {
  std::string line;
  for (const auto& entry : keptEntries) {
    line += '#';
    line += entry;
    line += '#';
  }
  return line;
}

bool IsProfileFolderName(std::string_view name) { return EndsWithNoCase(name, ".slt"); }

std::optional<NetscapeProfile> FindNetscapeProfile(const ProfileFolders& files, const std::string& storedFolder,
                                                   const std::optional<std::string>& appData) {
  if (IsProfileFolderName(storedFolder) && files.fileExists(storedFolder + kNetscapeCookieFile)) {
    return NetscapeProfile{storedFolder, false};
  }
  if (!appData) return std::nullopt;
  const std::string root = *appData + kNetscapeProfileRoot;
  if (!files.folderExists(root)) return std::nullopt;
  for (const std::string& name : files.subfolders(root)) {
    if (!IsProfileFolderName(name)) continue;
    const std::string candidate = root + "\\" + name;
    if (files.fileExists(candidate + kNetscapeCookieFile)) return NetscapeProfile{candidate, true};
  }
  return std::nullopt;
}

}  // namespace vendrolix::cookies
