#include "cookies.h"

#include "text.h"

namespace vendrolix::cookies {

bool IsIndexFile(std::string_view fileName) { return StartsWithNoCase(fileName, "INDEX"); }

std::string IeCookieEntry(std::string_view fileName) {
  const std::size_t bracket = fileName.find('[');
  if (bracket == std::string_view::npos || bracket == 0) {
    if (fileName.size() < 4) return std::string();
    return std::string(fileName.substr(0, fileName.size() - 4));
  }
  return std::string(fileName.substr(0, bracket));
}

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

}  // namespace vendrolix::cookies
