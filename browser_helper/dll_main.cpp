// The DLL's entry points: class factory, unload test and self-registration.
#include <windows.h>

#include "CVendrolixIEDLL.h"
#include "ModVendrolixIE.h"
#include "win32/com_server.h"
#include "win32/dll_runtime.h"

namespace {

constexpr vendrolix::win32::ServerClass kServer{
    "{A94EDD52-85B3-472F-8BC0-D651D760FBF8}", "VendrolixIEDLL.CVendrolixIEDLL", "Apartment",
    /*progId=*/"VendrolixIEDLL.CVendrolixIEDLL", /*versionedProgId=*/nullptr,
    /*typeLib=*/"{37D27E0A-E4BA-478F-A4DA-275FFE975E29}", /*version=*/"5.0"};

}  // namespace

using namespace vendrolix::helper;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      SetThisModule(instance);
      return InitThreadStates() ? TRUE : FALSE;
    case DLL_THREAD_DETACH:
      ReleaseThreadState();
      break;
    case DLL_PROCESS_DETACH:
      // At process exit everything goes with the process. An unload happens
      // only once no object or hook is left, so nothing of the DLL runs any
      // more on any thread.
      if (!reserved) {
        FreeThreadStates();
        ForgetWhiteList();
        vendrolix::win32::ReleaseDllRuntime();
      }
      break;
    default:
      break;
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  return vendrolix::win32::GetClassObject<vendrolix::helper::CVendrolixIEDLL>(CLSID_CVendrolixIEDLL, clsid, riid, ppv);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return (vendrolix::win32::ServerIdle() && InstalledHooks() == 0) ? S_OK : S_FALSE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() { return vendrolix::win32::RegisterServer(ThisModule(), kServer); }

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  return vendrolix::win32::UnregisterServer(ThisModule(), kServer);
}
