// Placeholder until the exit watch lands: no probe, and the tray unloads at
// once on the exit click.
#include "exit_watch_win32.h"

namespace vendrolix::tray {

void DetectBrowsers() {}

bool BrowserExitDecision() { return true; }

}  // namespace vendrolix::tray
