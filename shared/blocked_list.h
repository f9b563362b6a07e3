// The pop-ups and HTML dialogs refused for the user who browses, newest
// first: written by the browser helper (at low integrity inside a Protected
// Mode browser), read by that user's tray, which lists them and opens one on
// request. They live in the user's own registry (kBlockedListKey under
// HKEY_CURRENT_USER, where low integrity may write), never under
// HKEY_LOCAL_MACHINE: on a shared machine no user reads another's browsing.
// The stored text comes from the lowest writer there is, so every entry is
// judged again whenever it is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "settings.h"

namespace vendrolix {

inline constexpr const char* kBlockedListKey = kUserLowKey;
inline constexpr const char* kBlockedListValue = "Blocked";

// Registered window message the tray posts to the browser frame window that
// refused an entry, wParam the entry's number: that window's helper opens it.
inline constexpr const char* kOpenBlockedMessage = "Vendrolix Open Blocked Window";

inline constexpr std::size_t kBlockedEntries = 20;
// Internet Explorer's longest address; a longer one is cut.
inline constexpr std::size_t kBlockedAddressLimit = 2083;
// What a reader takes of the stored text at most: 20 whole entries fit.
inline constexpr std::size_t kBlockedListBytes = 64 * 1024;
inline constexpr std::size_t kBlockedMenuEntries = 10;
inline constexpr std::size_t kBlockedCaptionLimit = 60;

struct BlockedEntry {
  // The entry's number, which a message to open it carries (never its
  // address): one past the newest stored when it was added.
  std::uint32_t id = 0;
  std::uint64_t time = 0;   // when it was refused: FILETIME ticks, UTC
  std::int32_t frame = 0;   // the browser frame window that refused it
  std::string host;         // the page's host; "" for a page without one
  std::string address;      // where the window would have gone; "" when the browser did not say
};

// One entry a line (LF), its fields apart by tabs: id, time, frame, host,
// address. Reading skips every line that is not an entry as written here
// (and any past kBlockedEntries); an address is cut to its bound on writing.
std::vector<BlockedEntry> ParseBlockedList(std::string_view stored);
std::string FormatBlockedList(const std::vector<BlockedEntry>& entries);

// The stored text with entry put first under the next number, the oldest
// beyond kBlockedEntries dropped.
std::string AddBlocked(std::string_view stored, BlockedEntry entry);
// The entry of that number taken out of entries, or one with id 0 (and
// entries as they were) when there is none.
BlockedEntry TakeBlocked(std::vector<BlockedEntry>& entries, std::uint32_t id);

// An address that may be opened for the user: http or https with a host,
// no longer than kBlockedAddressLimit, with no space or control character.
// Nothing else is ever opened (a script address would run in the page).
bool IsOpenableAddress(std::string_view address);

// The entry as the tray's menu names it: the address's host and path (or,
// without an address, the page's host), cut with "..." past
// kBlockedCaptionLimit characters, "&" doubled so that it shows.
std::string BlockedCaption(const BlockedEntry& entry);

}  // namespace vendrolix
