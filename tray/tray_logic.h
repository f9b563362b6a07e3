// The tray controller's decisions, apart from Win32: what the start-up makes
// of the settings, the blocking level and its left-click toggle, the check
// marks of the popup menu, the sound of a Netscape/AOL block, the icon flash
// and its throttle, and the Messenger switch. The Win32 shell (frmTrayForm)
// carries the results out. Including this header does not pull in windows.h.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "policy.h"

namespace vendrolix::tray {

enum class TrayIcon { Blocking, Allowing };

// The controller's timers: the flash and Messenger's wait are their steps.
enum class TrayTimer { Flash, Messenger };

// The settings key as the tray sees it.
class TraySettings {
 public:
  virtual ~TraySettings() = default;
  // A value trimmed and in upper case; missingText when it cannot be read.
  virtual std::string Read(const std::string& name, const std::string& missingText) = 0;
  virtual void Write(const std::string& name, const std::string& text) = 0;
  virtual void Remove(const std::string& name) = 0;

  // The tray's own reading: a missing value reads as "1".
  std::string Get(const std::string& name) { return Read(name, "1"); }
};

// Everything else the controller asks of the system.
class TrayShell {
 public:
  virtual ~TrayShell() = default;
  // Shows icon in the notification area (a modify of the existing icon).
  virtual void ShowIcon(TrayIcon icon) = 0;
  // Brings the (hidden) main window to the foreground.
  virtual void BringToFront() = 0;
  // Calls TrayController::TimerDue(timer) once, milliseconds from now; a
  // timer started again before it is due is due at the new time only.
  // False when no timer could be set.
  virtual bool StartTimer(TrayTimer timer, unsigned milliseconds) = 0;
  // A monotonic clock in milliseconds.
  virtual std::uint64_t NowMs() = 0;
  // The Messenger service's start type (3 manual, 2 automatic).
  virtual void WriteMessengerStart(std::int32_t startType) = 0;
  // Starts the system's NET.EXE hidden, without waiting for it.
  virtual void RunNet(const std::string& parameters) = 0;
  // With a host to allow, the manager adds it to the white list (its
  // command line's kAllowSiteOption).
  virtual void StartManager(const std::string& hostToAllow) = 0;
  virtual void PlayBlockWave() = 0;
  virtual void PlayBlockBeep() = 0;
  // The icon's tip: set in the one record and shown at once.
  virtual void ShowTip(const std::string& tip) = 0;
  // The white list file's lines, one a call (false at the end), read as
  // they are asked for: the file may be large, the tray needs one match.
  virtual std::function<bool(std::string&)> WhiteListLines() = 0;
  // The administrator's level and white-list lock, read afresh (none by
  // default).
  virtual Policy ReadTrayPolicy() { return Policy(); }
  // The user's list of refused windows as stored ("" when there is none),
  // and its replacement.
  virtual std::string ReadBlockedList() = 0;
  // The user's LastBlocked as stored, beside the list; "" when missing,
  // unreadable or longer than a site can be.
  virtual std::string ReadLastBlocked() = 0;
  virtual void WriteBlockedList(const std::string& stored) = 0;
  // Asks the browser frame window that refused an entry to open it; false
  // when that window is no longer an open browser frame.
  virtual bool PostOpenToFrame(std::int32_t frame, std::uint32_t id) = 0;
  // Opens an address through the shell, for an entry whose window closed.
  virtual void OpenAddress(const std::string& address) = 0;
};

// One item of the menu's list of blocked windows.
struct BlockedItem {
  std::uint32_t id = 0;
  std::string caption;
  bool openable = false;  // greyed otherwise
};

// The installer's marker for the first start after an installation.
inline constexpr const char* kFirstStartMarker = "1";

// Where the tray program lies, as recorded in PathTrayApp: every backslash
// doubled.
std::string PathTrayAppText(const std::string& appPath);

// The start-up's settings work: the first start after installation and a
// level above 4 put the level to 2 and record the program's path. Returns
// the level to start with.
std::int16_t StartupLevel(TraySettings& settings, const std::string& appPath);

// Level codes, which are also the indexes of MenuChecks::level.
inline constexpr int kLevelAllow = 0;
inline constexpr int kLevelLow = 1;
inline constexpr int kLevelDefault = 2;
inline constexpr int kLevelHigh = 3;
inline constexpr int kLevelAll = 4;

// Sound codes, the indexes of MenuChecks::sound.
inline constexpr int kSoundWave = 0;
inline constexpr int kSoundBeep = 1;
inline constexpr int kSoundNone = 2;

inline constexpr unsigned kFlashHalfPeriodMs = 150;
inline constexpr int kFlashCount = 4;
inline constexpr std::uint64_t kFlashThrottleMs = 1000;
inline constexpr unsigned kMessengerWaitMs = 30;
inline constexpr std::int32_t kMessengerStartManual = 3;
inline constexpr std::int32_t kMessengerStartAutomatic = 2;
inline constexpr const char* kNetStopMessenger = "STOP Messenger";
inline constexpr const char* kNetStartMessenger = "START Messenger";

// The icon's tip: the program's name with the blocking level (level -1: none
// checked, the name alone), and once a block was told, on a second line how
// many since the tray started. The levels' names are the menu's.
inline constexpr const char* kTrayTip = "Vendrolix Pro";
inline constexpr const char* kLevelNames[5] = {"Allow Popup", "Block Ad Popup-Low", "Block Ad Popup-Default",
                                               "Block Ad Popup-High", "Block All Popup"};
std::string BlockedTip(int level, std::uint32_t blocks);

// The menu item that allows the last blocked site; a long host is cut after
// kSiteCaptionChars characters and ends in "...".
inline constexpr std::size_t kSiteCaptionChars = 40;
std::string AllowSiteCaption(const std::string& site);

// The check marks of the popup menu. They only mirror the settings; nothing
// reads them back.
struct MenuChecks {
  std::array<bool, 5> level{};
  std::array<bool, 3> sound{};
  bool blockMessenger = false;
  bool allowMessenger = false;
  bool messengerShown = true;
  // An administrator enforces the level: the level items are greyed and
  // show the enforced one; neither they nor the icon's click change it.
  bool levelsLocked = false;
};

class TrayController {
 public:
  TrayController(TraySettings& settings, TrayShell& shell) : settings_(settings), shell_(shell) {}

  // The window load, in its order: the level found at start, the sound
  // marks, the Messenger marks (hidden without the service) and, once the
  // window is hidden, a pending Messenger block.
  void LoadLevel(std::int16_t popupLevel);
  void LoadSound();
  void LoadMessenger(bool serviceInstalled);
  void ApplyPendingMessenger(bool serviceInstalled);

  // Menu items and the icon's left click.
  void SetLevel(int level);  // kLevelLow..kLevelAll
  void AllowPopup();
  void ToggleLevel();
  void SelectSound(int sound);
  // "0" white list, "1" cookies; with a host the white list is to allow.
  void OpenManager(const char* status, const std::string& hostToAllow = std::string());
  // The NET command follows after kMessengerWaitMs; a second choice within
  // that wait replaces the first one's command, so the service ends as the
  // last choice asks.
  void BlockMessenger();
  void AllowMessenger();

  // Notifications clicked by other programs. Each is a block told: it is
  // counted in the tip before the sound and the flash. A block told while
  // the icon flashes is counted at once and the flash runs on: no second
  // flash lines up behind it.
  void NotifyBlock();
  void NotifyNsAolBlock();
  void Flash();

  // A timer the controller started is due: the flash's next half-period,
  // or the end of Messenger's wait.
  void TimerDue(TrayTimer timer);
  // The tray unloads: a NET command still waiting runs now, or the service
  // would stay as it was while its start type says otherwise.
  void FinishMessengerWait();

  // Before the menu shows: the checks and the icon follow an enforced level,
  // and go back to the user's level once the policy is removed.
  void RefreshPolicy();

  // The site the menu offers to allow: the host the browser helper recorded
  // at its last block, once a block was told since start and while the white
  // list does not hold it; "" for no item.
  std::string SiteToOffer();
  // The item chosen: the manager is asked to add site to its white list.
  void AllowSite(const std::string& site);

  // The newest refused windows, for the "Blocked Pop-ups" submenu (none: no
  // submenu). Choosing one opens it without reloading the page: through the
  // frame window that refused it while that is open, else through the shell;
  // only web addresses are opened, and the frame's helper takes the entry
  // off the list as it opens it.
  std::vector<BlockedItem> BlockedMenu();
  void OpenBlocked(std::uint32_t id);
  void ClearBlocked();

  TrayIcon icon() const { return icon_; }
  // The tip for the level checked and the blocks told so far.
  std::string Tip() const;
  bool blocking_on() const { return BlockingOn; }
  const MenuChecks& checks() const { return checks_; }
  std::int16_t messenger_state() const { return MessengerState; }

 private:
  void CheckLevelOnly(int level);
  // True while a policy enforces the level (then shown, nothing written).
  bool LevelEnforced();
  void RefreshAndFront();
  void CountBlock();
  void FlashStep();
  void RunNetAfterWait(const char* parameters);

  TraySettings& settings_;
  TrayShell& shell_;
  // The level's icon; a flash shows its own over it and then this again.
  TrayIcon icon_ = TrayIcon::Blocking;
  bool BlockingOn = false;
  MenuChecks checks_;
  std::int16_t MessengerState = 0;
  // Empty until the first flash ended, so the first one always runs.
  std::optional<std::uint64_t> LastFlashEnd;
  // Half-periods the running flash has shown; 0 while none runs.
  int flashShown_ = 0;
  // The NET parameters Messenger's wait ends with; null while none waits.
  const char* pendingNet_ = nullptr;
  // Blocks told since start; never stored.
  std::uint32_t blocks_ = 0;
};

}  // namespace vendrolix::tray
