#include "blocked_list.h"

#include <limits>

#include "text.h"
#include "white_list.h"

namespace vendrolix {

namespace {

// Plain decimal digits and nothing else, within max.
bool ParseUnsigned(std::string_view text, std::uint64_t max, std::uint64_t& number) {
  if (text.empty() || text.size() > 20) return false;
  number = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (number > (max - digit) / 10) return false;
    number = number * 10 + digit;
  }
  return true;
}

bool HasControlOrSpace(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) return true;
  }
  return false;
}

bool ParseEntry(std::string_view line, BlockedEntry& entry) {
  std::string_view fields[5];
  for (std::size_t i = 0; i < 5; ++i) {
    const std::size_t tab = i < 4 ? line.find('\t') : std::string_view::npos;
    if (i < 4 && tab == std::string_view::npos) return false;
    fields[i] = line.substr(0, tab);
    line = i < 4 ? line.substr(tab + 1) : std::string_view();
  }
  std::uint64_t id = 0, time = 0, frame = 0;
  if (!ParseUnsigned(fields[0], std::numeric_limits<std::uint32_t>::max(), id) || id == 0) return false;
  if (!ParseUnsigned(fields[1], std::numeric_limits<std::uint64_t>::max(), time)) return false;
  // A window handle is kept as the signed 32-bit number it is published as.
  const bool negative = !fields[2].empty() && fields[2].front() == '-';
  if (!ParseUnsigned(negative ? fields[2].substr(1) : fields[2], negative ? 0x80000000u : 0x7fffffffu, frame)) {
    return false;
  }
  if (!fields[3].empty() && !IsSite(fields[3])) return false;
  if (fields[4].size() > kBlockedAddressLimit || HasControlOrSpace(fields[4])) return false;
  entry.id = static_cast<std::uint32_t>(id);
  entry.time = time;
  entry.frame = static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(frame) : static_cast<std::int64_t>(frame));
  entry.host.assign(fields[3]);
  entry.address.assign(fields[4]);
  return true;
}

}  // namespace

std::vector<BlockedEntry> ParseBlockedList(std::string_view stored) {
  std::vector<BlockedEntry> entries;
  stored = stored.substr(0, kBlockedListBytes);
  while (!stored.empty() && entries.size() < kBlockedEntries) {
    const std::size_t end = stored.find('\n');
    BlockedEntry entry;
    if (ParseEntry(stored.substr(0, end), entry)) entries.push_back(std::move(entry));
    if (end == std::string_view::npos) break;
    stored.remove_prefix(end + 1);
  }
  return entries;
}

std::string FormatBlockedList(const std::vector<BlockedEntry>& entries) {
  std::string text;
  for (std::size_t i = 0; i < entries.size() && i < kBlockedEntries; ++i) {
    const BlockedEntry& e = entries[i];
    text += std::to_string(e.id) + '\t' + std::to_string(e.time) + '\t' + std::to_string(e.frame) + '\t' +
            (IsSite(e.host) ? e.host : std::string()) + '\t';
    // What could not be read back is not written: an address with a space or
    // a line end would split the entry.
    if (!HasControlOrSpace(e.address)) text.append(e.address, 0, kBlockedAddressLimit);
    text += '\n';
  }
  return text;
}

std::string AddBlocked(std::string_view stored, BlockedEntry entry) {
  std::vector<BlockedEntry> entries = ParseBlockedList(stored);
  entry.id = entries.empty() || entries.front().id == std::numeric_limits<std::uint32_t>::max()
                 ? 1
                 : entries.front().id + 1;
  entries.insert(entries.begin(), std::move(entry));
  if (entries.size() > kBlockedEntries) entries.resize(kBlockedEntries);
  return FormatBlockedList(entries);
}

BlockedEntry TakeBlocked(std::vector<BlockedEntry>& entries, std::uint32_t id) {
  for (auto it = entries.begin(); id != 0 && it != entries.end(); ++it) {
    if (it->id != id) continue;
    BlockedEntry taken = std::move(*it);
    entries.erase(it);
    return taken;
  }
  return BlockedEntry();
}

bool IsOpenableAddress(std::string_view address) {
  if (address.size() > kBlockedAddressLimit || HasControlOrSpace(address)) return false;
  const bool web = StartsWithNoCase(address, "http://") || StartsWithNoCase(address, "https://");
  return web && !SiteOfAddress(address).empty();
}

std::string BlockedCaption(const BlockedEntry& entry) {
  std::string_view shown = entry.host;
  const std::size_t scheme = entry.address.find("://");
  if (!entry.address.empty() && scheme != std::string::npos) {
    shown = std::string_view(entry.address).substr(scheme + 3);
    shown = shown.substr(0, shown.find_first_of("?#"));
  }
  std::string caption;
  for (std::size_t i = 0; i < shown.size() && i < kBlockedCaptionLimit; ++i) {
    caption += shown[i];
    if (shown[i] == '&') caption += '&';
  }
  if (shown.size() > kBlockedCaptionLimit) caption += "...";
  return caption;
}

}  // namespace vendrolix
