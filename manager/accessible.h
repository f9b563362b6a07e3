// What assistive technology hears of a control beyond what the system's own
// accessible object says of it: a role of its own and state bits. Answered
// to WM_GETOBJECT; everything else is the system's object unchanged.
#pragma once

#include <windows.h>

namespace vendrolix::manager {

// The state assistive technology reads for `child` (0: the control itself,
// else an item's 1-based number): `state` comes in as the system's answer
// (0 where the system has none, as for a list box's items under some
// systems) and goes out changed. False: no answer for this child.
using AccessibleState = bool (*)(HWND window, long child, long* state);

struct AccessibleExtras {
  long role = 0;                     // of the control itself; 0: the system's
  AccessibleState state = nullptr;   // null: the system's
};

// The answer to WM_GETOBJECT for the control's client object, or 0 (the
// window procedure then lets the system answer) for any other object or
// when it cannot be made.
LRESULT AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam, const AccessibleExtras& extras);

}  // namespace vendrolix::manager
