// What a DLL of the suite gives back when it is unloaded. A browser loads
// and unloads the helper and the cleaner again and again in one process, so
// whatever the statically linked runtime keeps for the DLL's lifetime must
// go with the DLL, or every load leaves it behind in the browser.
#pragma once

namespace vendrolix::win32 {

// Called from DllMain's DLL_PROCESS_DETACH when the DLL is unloaded (not at
// process exit), after the last of the DLL's own code has run.
void ReleaseDllRuntime() noexcept;

}  // namespace vendrolix::win32
