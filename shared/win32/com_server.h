// What every in-process COM server of the suite (and of its test bench)
// needs around its one class: the class factory, the unload test and
// self-registration. Kept to templates and a few plain functions, since the
// browser helper carries it into every browser window.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <olectl.h>
#include <oleauto.h>

#include <atomic>
#include <initializer_list>
#include <new>
#include <string>

#include "win32/dll_runtime.h"

namespace vendrolix::win32 {

// This module, as DllMain was given it.
inline HMODULE g_serverModule = nullptr;
// Objects alive and LockServer locks of this module, for DllCanUnloadNow.
inline std::atomic<long> g_serverObjects{0};
inline std::atomic<long> g_serverLocks{0};

inline bool ServerIdle() { return g_serverObjects == 0 && g_serverLocks == 0; }

// Counts an object among the module's live objects for its lifetime.
class ServerObject {
 protected:
  ServerObject() noexcept { ++g_serverObjects; }
  ~ServerObject() { --g_serverObjects; }
  ServerObject(const ServerObject&) = delete;
  ServerObject& operator=(const ServerObject&) = delete;
};

// The reference count of an object with a single COM identity.
template <class Base>
class RefCounted : public Base, public ServerObject {
 public:
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() noexcept override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  virtual ~RefCounted() = default;

 private:
  std::atomic<ULONG> refs_{1};
};

// QueryInterface of an object with one COM identity, seen through Interface:
// IUnknown and the interfaces listed.
template <class Interface>
HRESULT QueryOne(Interface* object, REFIID riid, void** ppv, std::initializer_list<const IID*> listed) noexcept {
  if (!ppv) return E_POINTER;
  bool found = riid == IID_IUnknown;
  for (const IID* id : listed) found = found || riid == *id;
  if (!found) {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  *ppv = object;
  object->AddRef();
  return S_OK;
}

// Makes Object, which starts with one reference of its own.
template <class Object>
class ClassFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *ppv = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  // The factory is static; it lives as long as the module.
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return 2; }
  ULONG STDMETHODCALLTYPE Release() noexcept override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) noexcept override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    Object* object = new (std::nothrow) Object();
    if (!object) return E_OUTOFMEMORY;
    const HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override {
    lock ? ++g_serverLocks : --g_serverLocks;
    return S_OK;
  }
};

template <class Object>
inline ClassFactory<Object> g_classFactory;

// DllGetClassObject of a module serving Object as class served.
template <class Object>
HRESULT GetClassObject(REFCLSID served, REFCLSID asked, REFIID riid, void** ppv) noexcept {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (asked != served) return CLASS_E_CLASSNOTAVAILABLE;
  return g_classFactory<Object>.QueryInterface(riid, ppv);
}

// The registry entries of a server's class. Null members are not written.
struct ServerClass {
  const char* clsid;           // "{...}"
  const char* name;            // the class key's and the ProgID keys' default value
  const char* threadingModel;  // of InprocServer32
  const char* progId = nullptr;
  // With a versioned ProgID, progId is the version-independent one and
  // points to it by CurVer.
  const char* versionedProgId = nullptr;
  // The class's type library, embedded in the module and registered with it.
  const char* typeLib = nullptr;
  const char* version = nullptr;
  // A stand-in taking over a system class: the class key is the system's,
  // its out-of-process servers are removed (they would start a program
  // that does not serve it), and only InprocServer32 is the stand-in's.
  bool replacesSystemClass = false;
};

// The bitness of HKEY_CLASSES_ROOT a module registers in: its own, which is
// the only one whose callers can load it.
inline constexpr REGSAM kModuleView = sizeof(void*) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;

// DllRegisterServer: a registration that fails part-way removes whatever it
// wrote, so that no class is left pointing at a server that never finished
// registering.
HRESULT RegisterServer(HMODULE module, const ServerClass& server) noexcept;
// DllUnregisterServer.
HRESULT UnregisterServer(HMODULE module, const ServerClass& server) noexcept;

// Removes HKEY_CLASSES_ROOT\subKey and everything below it in the module's
// view; true also when it was not there.
bool DeleteClassesTree(const std::string& subKey);

// The type library embedded in the module.
HRESULT LoadModuleTypeLib(HMODULE module, ITypeLib** library) noexcept;

// The DLL entry points of a module that serves Object as class classId and
// registers as server says; the module is g_serverModule.
#define VENDROLIX_COM_SERVER(Object, classId, server)                                                  \
  extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {                 \
    if (reason == DLL_PROCESS_ATTACH) {                                                               \
      ::vendrolix::win32::g_serverModule = instance;                                                  \
      DisableThreadLibraryCalls(instance);                                                            \
    } else if (reason == DLL_PROCESS_DETACH && !reserved) {                                           \
      ::vendrolix::win32::ReleaseDllRuntime();                                                        \
    }                                                                                                 \
    return TRUE;                                                                                      \
  }                                                                                                   \
  extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {     \
    return ::vendrolix::win32::GetClassObject<Object>(classId, clsid, riid, ppv);                     \
  }                                                                                                   \
  extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {                                               \
    return ::vendrolix::win32::ServerIdle() ? S_OK : S_FALSE;                                         \
  }                                                                                                   \
  extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {                                             \
    return ::vendrolix::win32::RegisterServer(::vendrolix::win32::g_serverModule, server);            \
  }                                                                                                   \
  extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {                                           \
    return ::vendrolix::win32::UnregisterServer(::vendrolix::win32::g_serverModule, server);          \
  }

}  // namespace vendrolix::win32
