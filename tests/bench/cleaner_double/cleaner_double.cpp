// Test double of the cookie cleaner: every call appends one line
//   <method> <access code>\r\n
// to the file named by the environment variable VENDROLIX_CLEANER_LOG
// (C:\vendrolix-cleaner.log when unset); methods are CleanIECookies and
// CleanNSCookies. regsvr32 registers it under the cleaner's class id in the
// registry view of its own bitness.
#include <windows.h>
#include <objbase.h>
#include <olectl.h>

#include <string>

#include "../common/dispatch_stub.h"
#include "CookieCleaner.h"
#include "win32/bstr.h"
#include "win32/com_server.h"
#include "win32/file_io.h"
#include "win32/handles.h"

namespace {

constexpr vendrolix::win32::ServerClass kServer{"{CCD21D21-7305-4FED-8714-0436099AF281}",
                                                "CookieCleaner test double", "Apartment"};

void Record(const char* method, BSTR* code) {
  std::string text = code ? vendrolix::win32::FromBstr(*code) : std::string();
  text = text.substr(0, text.find('\0'));
  char path[MAX_PATH];
  const DWORD n = GetEnvironmentVariableA("VENDROLIX_CLEANER_LOG", path, MAX_PATH);
  const std::string logPath = (n > 0 && n < MAX_PATH) ? std::string(path, n) : "C:\\vendrolix-cleaner.log";
  vendrolix::win32::UniqueFile file(CreateFileA(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  const std::string line = std::string(method) + " " + text + "\r\n";
  DWORD written = 0;
  WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

class CleanerDouble final : public vendrolix::win32::RefCounted<vendrolix::bench::DispatchStub<ICookieCleaner>> {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    return vendrolix::win32::QueryOne<ICookieCleaner>(this, riid, ppv, {&IID_IDispatch, &IID_ICookieCleaner});
  }
  HRESULT STDMETHODCALLTYPE CleanIECookies(BSTR* AccessCode) override {
    Record("CleanIECookies", AccessCode);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CleanNSCookies(BSTR* AccessCode) override {
    Record("CleanNSCookies", AccessCode);
    return S_OK;
  }
};

}  // namespace

VENDROLIX_COM_SERVER(CleanerDouble, CLSID_CookieCleaner, kServer)
