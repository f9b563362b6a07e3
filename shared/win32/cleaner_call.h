// The cookie cleaner as the browser helper and the tray call it: one
// instance for the calls, each with the access code the cleaner asks for.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include "CookieCleaner.h"

namespace vendrolix::win32 {

class CookieCleanerCall {
 public:
  // False when the cleaner is not registered or cannot be made; the calls
  // then do nothing.
  bool Create();
  void CleanIECookies() { Call(&ICookieCleaner::CleanIECookies); }
  void CleanNSCookies() { Call(&ICookieCleaner::CleanNSCookies); }

 private:
  void Call(HRESULT (STDMETHODCALLTYPE ICookieCleaner::*method)(BSTR*));

  Microsoft::WRL::ComPtr<ICookieCleaner> cleaner_;
};

}  // namespace vendrolix::win32
