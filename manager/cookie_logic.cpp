#include "cookie_logic.h"

#include <algorithm>
#include <cstdint>

#include "cookies.h"
#include "text.h"

namespace vendrolix::manager {
namespace {

// The first of each group of texts that are equal without regard to case,
// in their order; empty texts are dropped (an empty entry names no site, and
// its "##" piece would match between any two kept entries).
//
// A cookie folder can hold 100,000 files. The texts are first grouped by
// the top byte of their hash, in order, and each group is then made unique
// with a table small enough to stay in the processor's cache.
std::vector<std::string> FirstOfEach(const std::vector<std::string_view>& texts) {
  struct Item {
    std::uint32_t hash;
    std::uint32_t index;
  };
  const std::size_t n = texts.size();
  std::vector<Item> grouped(n);
  std::vector<std::uint32_t> hashes(n);
  std::size_t start[257] = {};
  for (std::size_t i = 0; i < n; ++i) {
    hashes[i] = HashNoCase(texts[i]);
    ++start[(hashes[i] >> 24) + 1];
  }
  for (std::size_t b = 1; b <= 256; ++b) start[b] += start[b - 1];
  {
    std::size_t next[256];
    std::copy(start, start + 256, next);
    for (std::size_t i = 0; i < n; ++i) grouped[next[hashes[i] >> 24]++] = {hashes[i], static_cast<std::uint32_t>(i)};
  }

  constexpr std::uint32_t kFree = 0xFFFFFFFFu;
  std::vector<char> first(n, 0);
  std::vector<std::uint32_t> table;
  std::size_t kept = 0;
  for (std::size_t b = 0; b < 256; ++b) {
    std::size_t size = 16;
    while (size < 2 * (start[b + 1] - start[b])) size *= 2;
    table.assign(size, kFree);
    for (std::size_t k = start[b]; k < start[b + 1]; ++k) {
      const Item item = grouped[k];
      const std::string_view text = texts[item.index];
      if (text.empty()) continue;
      std::size_t slot = item.hash & (size - 1);
      bool seen = false;
      for (; table[slot] != kFree; slot = (slot + 1) & (size - 1)) {
        const Item other = grouped[table[slot]];
        if (other.hash == item.hash && EqualsNoCase(texts[other.index], text)) {
          seen = true;
          break;
        }
      }
      if (seen) continue;
      table[slot] = static_cast<std::uint32_t>(k);
      first[item.index] = 1;
      ++kept;
    }
  }
  std::vector<std::string> result;
  result.reserve(kept);
  for (std::size_t i = 0; i < n; ++i) {
    if (first[i]) result.emplace_back(texts[i]);
  }
  return result;
}

}  // namespace

std::vector<std::string> IeEntries(const std::vector<std::string>& fileNames) {
  std::vector<std::string_view> entries;
  entries.reserve(fileNames.size());
  for (const std::string& name : fileNames) {
    if (!cookies::IsIndexFile(name)) entries.push_back(cookies::IeCookieEntryView(name));
  }
  return FirstOfEach(entries);
}

std::vector<std::string> NetscapeEntries(const std::function<bool(std::string&)>& nextLine) {
  std::vector<std::string> domains;
  std::string line;
  for (std::size_t count = 0; count < cookies::kNetscapeLineLimit && nextLine(line); ++count) {
    if (std::optional<std::string> domain = cookies::NetscapeDomain(line)) domains.push_back(std::move(*domain));
  }
  return FirstOfEach(std::vector<std::string_view>(domains.begin(), domains.end()));
}

std::optional<std::string> AcceptedProfileInput(std::string_view typed) {
  std::string folder = Trim(typed);
  if (folder.size() <= 3 || !cookies::IsProfileFolderName(folder)) return std::nullopt;
  return folder;
}

std::vector<ListedCookie> ArrangeCookies(std::vector<std::string> entries, std::string_view keepLine) {
  // Case-insensitive order is the byte order of the upper-case forms: they
  // are made once, side by side in one buffer, and equal forms keep their
  // order (the index breaks the tie).
  std::size_t total = 0;
  for (const std::string& entry : entries) total += entry.size();
  std::string upper(total, '\0');
  std::vector<std::size_t> start(entries.size() + 1);
  std::size_t at = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    start[i] = at;
    for (char c : entries[i]) upper[at++] = UpperChar(c);
  }
  start[entries.size()] = at;
  const auto key = [&](std::size_t i) { return std::string_view(upper).substr(start[i], start[i + 1] - start[i]); };

  // Sorting compares eight bytes at a time as one number: the eight after the
  // part every entry shares (a folder's cookie names all begin with the same
  // "user@"). Only equal numbers need the whole forms compared.
  std::size_t common = entries.empty() ? 0 : key(0).size();
  for (std::size_t i = 1; i < entries.size() && common > 0; ++i) {
    const std::string_view k = key(i);
    std::size_t n = 0;
    while (n < common && n < k.size() && k[n] == upper[start[0] + n]) ++n;
    common = n;
  }
  struct Item {
    std::uint64_t prefix;
    std::size_t index;
  };
  std::vector<Item> order(entries.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    const std::string_view k = key(i);
    std::uint64_t prefix = 0;
    for (std::size_t b = 0; b < 8; ++b) {
      const std::size_t at = common + b;
      prefix = (prefix << 8) | (at < k.size() ? static_cast<unsigned char>(k[at]) : 0u);
    }
    order[i] = {prefix, i};
  }
  // A stable radix sort by those numbers, a byte at a time from the last...
  std::vector<Item> spare(order.size());
  for (int shift = 0; shift < 64; shift += 8) {
    std::size_t count[257] = {};
    for (const Item& item : order) ++count[((item.prefix >> shift) & 0xFF) + 1];
    if (std::find(count + 1, count + 257, order.size()) != count + 257) continue;  // one byte value: no change
    for (std::size_t b = 1; b <= 256; ++b) count[b] += count[b - 1];
    for (const Item& item : order) spare[count[(item.prefix >> shift) & 0xFF]++] = item;
    order.swap(spare);
  }
  // ...then the runs of equal numbers by their whole forms; the radix sort
  // left each run in index order, which breaks the remaining ties.
  for (std::size_t begin = 0; begin < order.size();) {
    std::size_t end = begin + 1;
    while (end < order.size() && order[end].prefix == order[begin].prefix) ++end;
    if (end - begin > 1) {
      std::stable_sort(order.begin() + begin, order.begin() + end,
                       [&](const Item& a, const Item& b) { return key(a.index) < key(b.index); });
    }
    begin = end;
  }

  cookies::KeepLine keep(keepLine);
  std::vector<char> kept(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) kept[i] = keep.Keeps(entries[i]);
  // Each entry's place in the list, then the entries moved there in their
  // own order: with 100,000 entries, reading them in list order would wait
  // on memory at every one.
  std::vector<std::size_t> place(entries.size());
  std::size_t next = 0;
  for (const bool pass : {true, false}) {
    for (const Item& item : order) {
      if (static_cast<bool>(kept[item.index]) == pass) place[item.index] = next++;
    }
  }
  std::vector<ListedCookie> listed(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) listed[place[i]] = {std::move(entries[i]), kept[i] != 0};
  return listed;
}

}  // namespace vendrolix::manager
