// The rules of the browser thread's two hooks, without Windows calls: which
// left-button presses and releases count as a click that may open a window,
// and which new HTML dialogs are closed. The hooks gather class names, the
// cursor, the level and the time through the Env interfaces and perform the
// closes, clicks and sounds in the order given here.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "decision.h"

namespace vendrolix::helper {

// The browser's frame and chrome: a release on these never counts.
inline constexpr const char* kExclusionList =
    "#IEFRAME#CABINETWCLASS#TOOLBARWINDOW32#EDIT#COMBOLBOX#REBARWINDOW32#MSCTLS_STATUSBAR32";
inline constexpr const char* kDialogClass = kHtmlDialogClass;

inline constexpr unsigned kLeftButtonDown = 0x0201;
inline constexpr unsigned kLeftButtonUp = 0x0202;
inline constexpr unsigned kDialogMessage = 0x0491;  // the browser's private WM_USER + 0x91
inline constexpr unsigned kUserMessage = 0x0400;    // WM_USER

// Plain containment in the exclusion list: parts of listed names and the
// empty name count as listed.
bool IsListedClass(std::string_view upperName);

// A class name as the hooks compare it: the characters the system returned,
// trimmed, in upper case.
std::string HookClassName(std::string_view returned);

class MouseEnv {
 public:
  virtual ~MouseEnv() = default;
  // The raw class name of the message's target window ("" on failure).
  virtual std::string TargetClassName() = 0;
  // The Popup setting's text as the helper reads it.
  virtual std::string PopupText() = 0;
  // True when the cursor shown now is the frame window's class cursor.
  virtual bool CursorIsFrameCursor() = 0;
  virtual std::int32_t Now() = 0;
};

// One mouse hook call (nCode, wParam's message); updates the window's click
// and release stamps and the thread's buttonUpStamp.
void OnMouseMessage(int nCode, unsigned message, WindowState& window, std::int32_t& buttonUpStamp, MouseEnv& env);

// What the dialog watch keeps between messages (per browser thread).
struct DialogWatch {
  std::intptr_t FrameWindow = 0;
  std::int32_t DialogStamp = 0;
  // The handles of this window's dialogs at the last scan and the one
  // before: a dialog is new when the previous scan did not list it.
  std::vector<std::int32_t> DialogList;
  std::vector<std::int32_t> PreviousDialogList;
  std::intptr_t NewDialog = 0;
  std::int16_t UserMessageCount = 0;
};

// What the dialog watch reads and does besides the block reaction's reads
// and actions; it neither cancels a window nor asks the browser for its
// address.
class DialogEnv : public virtual BlockEnv {
 public:
  // Any HTML dialog on the desktop (0 = none).
  virtual std::intptr_t FindDialogFrame() = 0;
  // Calls visit for every top-level window; false when enumeration failed.
  virtual bool EnumTopLevel(const std::function<void(std::intptr_t)>& visit) = 0;
  virtual std::intptr_t OwnerOf(std::intptr_t window) = 0;
  virtual std::string ClassNameOf(std::intptr_t window) = 0;
  virtual void CloseDialog(std::intptr_t window) = 0;
};

// Grace period for a new dialog by trigger message and level.
std::int32_t DialogGracePeriod(unsigned trigger, std::int16_t level);

// One message-hook call. window carries the stamps, the white-list address,
// the tray's block button and DialogFrame (read by the new-window decision).
void OnHookedMessage(int nCode, unsigned message, DialogWatch& watch, WindowState& window,
                     std::int32_t& buttonUpStamp, DialogEnv& env);

}  // namespace vendrolix::helper
