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

bool IsDriveLetterPath(std::string_view path) {
  if (path.size() < 3) return false;
  const char letter = UpperChar(path[0]);
  if (letter < 'A' || letter > 'Z' || path[1] != ':' || (path[2] != '\\' && path[2] != '/')) return false;
  // A second colon names a stream or a device, not a folder.
  return path.find(':', 2) == std::string_view::npos;
}

std::optional<NetscapeProfile> FindNetscapeProfile(const ProfileFolders& files, const std::string& storedFolder,
                                                   const std::optional<std::string>& appData) {
  // The text is judged before the file system is asked anything.
  const auto holdsCookies = [&files](const std::string& folder) {
    if (!IsProfileFolderName(folder) || !IsDriveLetterPath(folder) || !files.isPlainLocal(folder)) return false;
    const std::string file = folder + kNetscapeCookieFile;
    return files.fileExists(file) && files.isPlainLocal(file);
  };
  if (holdsCookies(storedFolder)) return NetscapeProfile{storedFolder, false};
  if (!appData || !IsDriveLetterPath(*appData)) return std::nullopt;
  const std::string root = *appData + kNetscapeProfileRoot;
  if (!files.folderExists(root)) return std::nullopt;
  for (const std::string& name : files.subfolders(root)) {
    const std::string candidate = root + "\\" + name;
    if (holdsCookies(candidate)) return NetscapeProfile{candidate, true};
  }
  return std::nullopt;
}

}  // namespace vendrolix::cookies
