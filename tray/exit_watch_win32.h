// The tray's browser exit watch as the main window calls it: the start-up
// probe for installed Netscape/AOL, and the system the decision run on a
// click of the "Form Close" button looks at. Including this header does not
// pull in windows.h.
#pragma once

#include <memory>

#include "exit_watch.h"

namespace vendrolix::tray {

// Records in the settings whether Netscape and AOL are installed.
void DetectBrowsers();

// True while a browser window that the exit decision waits for is open.
bool BrowserWindowsOpen();

// The windows, settings and cleaner of this desktop, for an ExitWatch; null
// when out of memory.
std::unique_ptr<ExitWatchPlatform> NewExitWatchPlatform();

}  // namespace vendrolix::tray
