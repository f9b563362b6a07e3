#include "win32/cleaner_call.h"

#include "settings.h"
#include "win32/bstr.h"

namespace vendrolix::win32 {

bool CookieCleanerCall::Create() {
  return SUCCEEDED(CoCreateInstance(CLSID_CookieCleaner, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&cleaner_)));
}

void CookieCleanerCall::Call(HRESULT (STDMETHODCALLTYPE ICookieCleaner::*method)(BSTR*)) {
  if (!cleaner_) return;
  BSTR code = AllocBstr(kCleanerAccessCode);
  if (!code) return;
  (cleaner_.Get()->*method)(&code);
  // The argument is passed by reference: free whatever the cleaner left.
  SysFreeString(code);
}

}  // namespace vendrolix::win32
