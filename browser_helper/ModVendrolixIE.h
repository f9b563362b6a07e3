// Module state and shared routines of the browser helper. Each browser
// window runs on its own thread with its own helper object, so the state
// that the event handlers share with the thread's hooks lives once per thread.
#pragma once

#include <windows.h>
#include <exdisp.h>

#include <cstdint>
#include <optional>
#include <string>

#include "decision.h"
#include "hooks.h"
#include "win32/handles.h"

namespace vendrolix::helper {

// A window found to be the tray's button, and the process that owned it then.
struct CheckedTrayButton {
  HWND window = nullptr;
  DWORD processId = 0;
};

struct ModVendrolixIE {
  std::string AppPath;
  HWND FrameWindow = nullptr;
  DWORD ThreadId = 0;
  // The hooks stay installed from attach to quit; quit removes them but the
  // handles keep their values, so they are plain handles, not owners.
  HHOOK MouseHook = nullptr;
  HHOOK MessageHook = nullptr;
  std::uintptr_t FrameCursor = 0;
  std::int32_t ButtonUpStamp = 0;
  // DialogStamp, DialogList, PreviousDialogList, NewDialog, UserMessageCount.
  DialogWatch dialogs;
  // How many of MouseHook and MessageHook are installed right now.
  int liveHooks = 0;
  // The state of the window whose object installed the hooks: it is that
  // object's, so the hooks and its events work on one copy. Null while no
  // active object is attached on this thread.
  WindowState* window = nullptr;
  // The block button the last block reaction clicked.
  CheckedTrayButton blockButton;
  // The keys that hold the settings, opened for reading when first read on
  // this thread (SettingsReader): the machine's settings key and its Browser
  // and Manager subkeys, then the user's, the user's low-integrity and the
  // logon session's.
  win32::UniqueHKey settingsKeys[6];
  // The user's list of blocked windows, opened (made when missing) with the
  // first block on this thread.
  win32::UniqueHKey blockedListKey;
  // The browser of the attached object, while it is attached: the tray's
  // request to open a blocked window arrives in the message hook.
  IWebBrowser2* browser = nullptr;
};

// This thread's state, created on first use; freed when the thread ends.
ModVendrolixIE& ThreadState();
// Called from DllMain as threads and the process end.
void ReleaseThreadState();
bool InitThreadStates();
void FreeThreadStates();

// Hooks installed by any thread and not yet removed: the DLL must stay loaded
// while one of them can still call into it.
long InstalledHooks();
void InstallHooks(ModVendrolixIE& state);
void RemoveHooks(ModVendrolixIE& state);

HMODULE ThisModule();
void SetThisModule(HMODULE module);

// The helper's one reader of the settings: a value's text where it lives
// (PlaceOf, a user's value over the machine's default), 255-byte buffer,
// trimmed, case kept, "1" on any failure; through the keys this thread
// keeps open: each value is still read afresh when it is asked
// for, but under Wine every open costs several round trips to the server
// while the browser waits, once per key per event otherwise. A key deleted
// since (a removal and a new installation) is opened again.
class SettingsReader {
 public:
  explicit SettingsReader(ModVendrolixIE& state) : state_(state) {}
  std::string Read(const char* name);
  // The text as stored, untrimmed; nullopt on any failure.
  std::optional<std::string> ReadStored(const char* name);

 private:
  ModVendrolixIE& state_;
};
// The browser thread's world as the new-window decision, the dialog watch
// and the click hook see it: one environment for the three. browser and
// window answer the page's address, cancel is the request's to cancel (a
// new-window decision), target the window a mouse message went to.
class HelperEnv final : public NewWindowEnv, public DialogEnv, public MouseEnv, public OpenBlockedEnv {
 public:
  explicit HelperEnv(ModVendrolixIE& state, IWebBrowser2* browser = nullptr, const WindowState* window = nullptr,
                     VARIANT_BOOL* cancel = nullptr, HWND target = nullptr)
      : state_(state), settings_(state), browser_(browser), window_(window), cancel_(cancel), target_(target) {}
  std::string ReadSetting(const char* name) override { return settings_.Read(name); }
  std::int16_t IsBlockedUrl(const std::string& url) override;
  Policy ReadPopupPolicy() override;
  bool CtrlDown() override;
  std::int32_t Now() override;
  void PlayWave() override;
  void Beep() override;
  void RecordBlocked(const std::string& site, const std::string& target) override;
  void PostClick(std::int32_t window) override;
  std::string LocationUrl() override;
  void CancelWindow() override;
  std::intptr_t FindDialogFrame() override;
  bool EnumTopLevel(const std::function<void(std::intptr_t)>& visit) override;
  std::intptr_t OwnerOf(std::intptr_t window) override;
  std::string ClassNameOf(std::intptr_t window) override;
  void CloseDialog(std::intptr_t window) override;
  std::string TargetClassName() override;
  std::string PopupText() override;
  bool CursorIsFrameCursor() override;
  std::string ReadBlockedList() override;
  void WriteBlockedList(const std::string& stored) override;
  bool OpenInNewWindow(const std::string& address) override;

 private:
  ModVendrolixIE& state_;
  SettingsReader settings_;
  IWebBrowser2* browser_;
  const WindowState* window_;
  VARIANT_BOOL* cancel_;
  HWND target_;
};

// Writes a text value where it lives (a user's or session's key made when
// missing); dropped when that cannot be opened.
void WriteRegString(const char* name, const std::string& value);
// A refused request, as the newest entry of the user's list of blocked
// windows: now, this thread's frame, the page's host and the target.
void RecordBlockedWindow(ModVendrolixIE& state, const std::string& site, const std::string& target);

// The tray's message asking a frame window to open an entry of that list.
UINT OpenBlockedMessage();

// 0 when the current address is white-listed in AppPath\WebSite.dat, else 1.
std::int16_t IsBlockedUrl(const std::string& appPath, const std::string& url);
// Frees the copy of the white list IsBlockedUrl keeps, at the DLL's unload.
void ForgetWhiteList();

// Now as milliseconds of the local day.
std::int32_t NowStamp();

LRESULT CALLBACK MouseHookProc(int nCode, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK GetMessageHookProc(int nCode, WPARAM wParam, LPARAM lParam);

// The block reaction's sound, from the browser thread.
void PlayBlockWave(const std::string& appPath);

// True when window is the running tray program's button of that caption.
// The handles come from the settings, written by a tray that may have ended
// since, and Windows reuses handles: another program's window that took one
// over must never be clicked.
bool IsTrayButton(HWND window, const char* caption, const std::string& appPath);
// BM_CLICK to the tray's button of that caption, if window still is it and
// belongs to the tray of appPath.
// With checked, a window found to be the button before is taken as it while
// the same process owns it (a handle cannot pass to another window of that
// process's lifetime); any other is checked in full and remembered there.
void PostTrayClick(std::int32_t window, const char* caption, const std::string& appPath,
                   CheckedTrayButton* checked = nullptr);

// Starts AppPath\VendrolixTray.exe minimised without waiting for it.
void StartTray(const std::string& appPath);

// Calls the cookie cleaner's IE method with the access code.
void CleanIECookies();

}  // namespace vendrolix::helper
