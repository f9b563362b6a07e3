#include "cookies.h"

#include "text.h"

namespace vendrolix::cookies {

bool IsIndexFile(std::string_view fileName) { return StartsWithNoCase(fileName, "INDEX"); }

std::string_view IeCookieEntryView(std::string_view fileName) {
  const std::size_t bracket = fileName.find('[');
  if (bracket == std::string_view::npos || bracket == 0) {
    if (fileName.size() < 4) return std::string_view();
    return fileName.substr(0, fileName.size() - 4);
  }
  return fileName.substr(0, bracket);
}

std::string IeCookieEntry(std::string_view fileName) { return std::string(IeCookieEntryView(fileName)); }

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

KeepLine::KeepLine(std::string_view line) : finder_(line) {
  std::size_t count = 0;
  for (char c : line) count += c == '#';
  std::size_t slots = 16;
  while (slots < 2 * count) slots *= 2;
  segments_.assign(slots, Segment{0, 0, nullptr});
  std::size_t hash = line.find('#');
  while (hash != std::string_view::npos) {
    const std::size_t next = line.find('#', hash + 1);
    if (next == std::string_view::npos) break;
    const std::string_view text = line.substr(hash + 1, next - hash - 1);
    const std::uint32_t h = HashNoCase(text);
    std::size_t slot = h & (slots - 1);
    while (segments_[slot].begin) slot = (slot + 1) & (slots - 1);
    segments_[slot] = {h, static_cast<std::uint32_t>(text.size()), text.data()};
    hash = next;
  }
}

bool KeepLine::Keeps(std::string_view entry) {
  if (!entry.empty() && entry.find('#') == std::string_view::npos) {
    const std::uint32_t h = HashNoCase(entry);
    for (std::size_t slot = h & (segments_.size() - 1); segments_[slot].begin;
         slot = (slot + 1) & (segments_.size() - 1)) {
      const Segment& s = segments_[slot];
      if (s.hash == h && s.length == entry.size() && EqualsNoCase(std::string_view(s.begin, s.length), entry))
        return true;
    }
    return false;
  }
  piece_.assign(1, '#');
  piece_ += entry;
  piece_ += '#';
  return finder_.Contains(piece_);
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
