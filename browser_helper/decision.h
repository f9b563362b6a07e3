// The browser helper's rules that need no Windows call: the host test, time
// stamps, grace periods, the white-list lookup and the new-window decision.
// The COM shell gathers registry texts, the page address, the Ctrl key and
// the time through NewWindowEnv and performs what the decision asks, in the
// order the decision asks for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "blocked_list.h"
#include "browser_windows.h"
#include "convert.h"
#include "policy.h"
#include "text.h"
#include "white_list.h"

namespace vendrolix::helper {

// Milliseconds of the local day; 0 is reserved for "no stamp".
inline constexpr std::int32_t kDayMs = 86400000;

// The stamp of a wall-clock time. Exactly midnight would read as "no stamp",
// so it is taken one millisecond later.
std::int32_t StampOfTime(int hour, int minute, int second, int milliseconds);

// Time from stamp to now, wrapped modulo one day, so a click just before
// midnight is 30 s old at 00:00:29, not a negative (ever-fresh) age.
std::int32_t ElapsedMs(std::int32_t now, std::int32_t stamp);

// Grace period in ms for a new window after a qualifying click: grows with the
// number of open browser windows, by half while an HTML dialog exists, doubles
// at level 1 and shrinks by a third at level 3.
std::int32_t GracePeriod(std::int16_t countIE, bool dialogPresent, std::int16_t level);

using ::vendrolix::PassesHostTest;

// True when a process image path is the tray program of this installation,
// appPath\VendrolixTray.exe (letter case ignored): a program of that name
// elsewhere, which anyone may start, is not the tray.
bool IsTrayProgram(std::string_view imagePath, std::string_view appPath);

// White-list lookup of WebSite.dat: first line the number of entries, then
// one keyword per line. 0 when an entry matches url as ListedAddress tells,
// 1 otherwise, and 1 when the list is short, unreadable or malformed.
// nextLine yields the file's lines in order and false at the end.
std::int16_t WhiteListLookup(const std::function<bool(std::string&)>& nextLine, std::string_view url);

// The same lookup over lines that are not copied: nextLine(std::string_view&)
// may point into its own buffer until its next call. The browser waits for
// this at every new window; a copy of every keyword is most of its time.
template <class NextLine>
std::int16_t WhiteListLookupOf(NextLine&& nextLine, std::string_view url) {
  std::string_view line;
  if (!nextLine(line)) return 1;
  std::int16_t entries = 0;
  if (!ConvertToInt16(line, entries)) return 1;
  const ListedAddress address(url);
  for (int i = 1; i <= entries; ++i) {
    if (!nextLine(line)) return 1;
    if (address.Matches(line)) return 0;
  }
  return 1;
}


// What one browser window's helper remembers between events.
struct WindowState {
  bool active = false;           // attached to the browser itself (host test)
  bool refreshHandles = false;   // re-read the tray's handles at the next request
  bool firstNavigation = false;  // the first navigation after attach clears the stamp
  std::int16_t countIE = 0;
  std::int32_t TrayFormButton = 0;
  std::int32_t TrayBlockButton = 0;
  std::string CurrentUrl;
  std::int32_t ClickStamp = 0;
  // The last left-button release the mouse hook saw, qualifying or not; no
  // judgement spends it. A request the browser calls user-initiated with no
  // release this recent came from the keyboard or an assistive technology.
  std::int32_t ReleaseStamp = 0;
  std::int32_t DialogFrame = 0;
  // The last NewWindow3 left its request alone: the browser's NewWindow2
  // after it is that same request.
  bool letThroughByNewWindow3 = false;
  // A blocked window this helper opens at the user's request, and when: the
  // one request for that address that follows soon is let through.
  std::string openingBlocked;
  std::int32_t openingStamp = 0;
};

// How long a request to open a blocked window waits for the browser's
// request for it; later, that address is judged as any other.
inline constexpr std::int32_t kOpeningBlockedMs = 5000;

// What NewWindow3 says of a request (the browser's NWMF flags).
inline constexpr std::uint32_t kNewWindowUserInitiated = 0x2;
inline constexpr std::uint32_t kNewWindowFirstOfAction = 0x4;
inline constexpr std::uint32_t kNewWindowUserRequested = 0x80;
inline constexpr std::uint32_t kNewWindowUserAllowed = 0x100;

// What every block decision reads, and the block reaction's actions.
class BlockEnv {
 public:
  virtual ~BlockEnv() = default;
  // Settings value text as the helper reads it ("1" when missing).
  virtual std::string ReadSetting(const char* name) = 0;
  // WhiteListLookup over the installed WebSite.dat.
  virtual std::int16_t IsBlockedUrl(const std::string& url) = 0;
  // The administrator's level and AllowList, read afresh (none by default).
  virtual Policy ReadPopupPolicy() { return Policy(); }
  virtual bool CtrlDown() = 0;
  virtual std::int32_t Now() = 0;
  virtual void PlayWave() = 0;
  virtual void Beep() = 0;
  // An entry of the user's list of blocked windows: the refused page's host
  // ("" for a page without one) and where the window would have gone (""
  // when the browser did not say).
  virtual void RecordBlocked(const std::string& site, const std::string& target) = 0;
  virtual void PostClick(std::int32_t window) = 0;
};

// The outside world of one new-window decision: besides the block reads and
// reaction, the browser's address and the cancel.
class NewWindowEnv : public virtual BlockEnv {
 public:
  virtual std::string LocationUrl() = 0;
  virtual void CancelWindow() = 0;
};

// The level in force, as the Popup text the helper reads and as a number:
// the administrator's level (policy.level) replaces Popup. Read here only.
std::string PopupInForce(BlockEnv& env, const Policy& policy);
std::int16_t LevelInForce(BlockEnv& env, const Policy& policy);

// The sound (by the Sound setting: 0 wave, 1 beep, else none), then the
// click on the tray's block button.
void BlockReaction(std::int16_t sound, std::int32_t trayBlockButton, const std::string& address, BlockEnv& env,
                   const std::string& target);

// The click on the tray's block button, after the refusal of a request from
// the page at address (for target) is recorded for the tray to list.
void TellTray(std::int32_t trayBlockButton, const std::string& address, BlockEnv& env,
              const std::string& target = std::string());

// NewWindow2: decides whether the requested window opens; on refusal it
// cancels the window and runs the block reaction. After a NewWindow3 that
// let the request through, it does nothing: that request is decided.
void OnNewWindow(WindowState& state, NewWindowEnv& env);

// NewWindow3: the same decision, in which the browser's flags may open the
// window at levels 1 to 3: a window the user asked for (Open in New Window,
// Shift+click) or allowed in the browser's bar, and the first window of a
// user action that no recent left-button release explains (the keyboard).
// url is where the window would go.
void OnNewWindow3(WindowState& state, NewWindowEnv& env, std::uint32_t flags, const std::string& url);

// The user's list of blocked windows, and the window the browser opens.
class OpenBlockedEnv {
 public:
  virtual ~OpenBlockedEnv() = default;
  virtual std::string ReadBlockedList() = 0;
  virtual void WriteBlockedList(const std::string& stored) = 0;
  virtual std::int32_t Now() = 0;
  // The address in a new window of this browser; false when it refused.
  virtual bool OpenInNewWindow(const std::string& address) = 0;
};

// The tray asks this browser window (frame) to open entry id of the list:
// only an entry this window refused and a web address are opened, and the
// opened entry leaves the list.
void OnOpenBlocked(WindowState& state, std::int32_t frame, std::uint32_t id, OpenBlockedEnv& env);

// BeforeNavigate2: only the first one after attach clears the stamp.
void OnBeforeNavigate(WindowState& state);

}  // namespace vendrolix::helper
