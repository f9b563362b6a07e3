// The tray's browser exit watch as the main window calls it: the start-up
// probe for installed Netscape/AOL, and the decision run on a click of the
// "Form Close" button. Including this header does not pull in windows.h.
#pragma once

namespace vendrolix::tray {

// Records in the settings whether Netscape and AOL are installed.
void DetectBrowsers();

// True while a browser window that the exit decision waits for is open.
bool BrowserWindowsOpen();

// Waits for the remaining browser windows, has the closed browsers' cookies
// cleaned, and returns true at the moment the main window must be unloaded
// (no browser window left); false when a browser stayed open.
bool BrowserExitDecision();

}  // namespace vendrolix::tray
