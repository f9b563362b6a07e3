// The Win32 side of "is a browser window of Internet Explorer still open?":
// what the shell's window collection lists and what a walk over the
// desktop's windows shows. The rule that joins them is ../browser_windows.h.
#pragma once

#include <windows.h>

#include "../browser_windows.h"

namespace vendrolix::win32 {

// The top-level window a window sits under, as the census keys it.
WindowKey RootKey(HWND window);

// Asks the shell's window collection (with COM set up for the call where
// the thread has not) and walks every window. Never throws.
BrowserWindowCensus TakeBrowserWindowCensus() noexcept;

}  // namespace vendrolix::win32
