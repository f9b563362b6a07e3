#include "win32/com_server.h"

#include "win32/file_io.h"
#include "win32/handles.h"

namespace vendrolix::win32 {
namespace {

bool SetClassesText(const std::string& subKey, const char* name, const std::string& value) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE | kModuleView, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  UniqueHKey owner(key);
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

std::string ClassKey(const ServerClass& server) { return std::string("CLSID\\") + server.clsid; }

bool WriteClassKeys(const ServerClass& server, const std::string& path) {
  const std::string clsid = ClassKey(server);
  const std::string inproc = clsid + "\\InprocServer32";
  if (!SetClassesText(clsid, nullptr, server.name) || !SetClassesText(inproc, nullptr, path) ||
      !SetClassesText(inproc, "ThreadingModel", server.threadingModel)) {
    return false;
  }
  if (server.progId) {
    const std::string progId = server.progId;
    const char* own = server.versionedProgId ? server.versionedProgId : server.progId;
    if (!SetClassesText(clsid + "\\ProgID", nullptr, own)) return false;
    if (server.versionedProgId && !SetClassesText(clsid + "\\VersionIndependentProgID", nullptr, progId)) {
      return false;
    }
  }
  if (server.typeLib && !SetClassesText(clsid + "\\TypeLib", nullptr, server.typeLib)) return false;
  if (server.version && !SetClassesText(clsid + "\\VERSION", nullptr, server.version)) return false;
  if (!server.progId) return true;
  const std::string progId = server.progId;
  if (!SetClassesText(progId, nullptr, server.name) || !SetClassesText(progId + "\\CLSID", nullptr, server.clsid)) {
    return false;
  }
  if (!server.versionedProgId) return true;
  const std::string versioned = server.versionedProgId;
  return SetClassesText(progId + "\\CurVer", nullptr, versioned) &&
         SetClassesText(versioned, nullptr, server.name) &&
         SetClassesText(versioned + "\\CLSID", nullptr, server.clsid);
}

// Plain buffer: a wide string class would link the runtime's whole
// wide-string instantiation into the browser helper.
bool ModulePathWide(HMODULE module, wchar_t (&path)[MAX_PATH]) {
  const DWORD n = GetModuleFileNameW(module, path, MAX_PATH);
  return n != 0 && n < MAX_PATH;
}

void UnregisterModuleTypeLib(HMODULE module) {
  ITypeLib* library = nullptr;
  if (FAILED(LoadModuleTypeLib(module, &library))) return;
  TLIBATTR* attributes = nullptr;
  if (SUCCEEDED(library->GetLibAttr(&attributes)) && attributes) {
    UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum, attributes->lcid,
                      attributes->syskind);
    library->ReleaseTLibAttr(attributes);
  }
  library->Release();
}

void RemoveServer(HMODULE module, const ServerClass& server) noexcept {
  if (server.typeLib) UnregisterModuleTypeLib(module);
  try {
    if (server.replacesSystemClass) {
      DeleteClassesTree(ClassKey(server) + "\\InprocServer32");
      return;
    }
    DeleteClassesTree(ClassKey(server));
    if (server.progId) DeleteClassesTree(server.progId);
    if (server.versionedProgId) DeleteClassesTree(server.versionedProgId);
  } catch (...) {
    // Out of memory for a key name: nothing more can be removed.
  }
}

}  // namespace

HRESULT LoadModuleTypeLib(HMODULE module, ITypeLib** library) noexcept {
  if (!library) return E_POINTER;
  *library = nullptr;
  wchar_t path[MAX_PATH];
  if (!ModulePathWide(module, path)) return E_FAIL;
  return LoadTypeLibEx(path, REGKIND_NONE, library);
}

bool DeleteClassesTree(const std::string& subKey) {
  HKEY key = nullptr;
  const LONG opened =
      RegOpenKeyExA(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_READ | KEY_SET_VALUE | DELETE | kModuleView, &key);
  if (opened == ERROR_FILE_NOT_FOUND) return true;
  if (opened != ERROR_SUCCESS) return false;
  UniqueHKey owner(key);
  RegDeleteTreeA(key, nullptr);
  return RegDeleteKeyExA(HKEY_CLASSES_ROOT, subKey.c_str(), kModuleView, 0) == ERROR_SUCCESS;
}

HRESULT RegisterServer(HMODULE module, const ServerClass& server) noexcept {
  HRESULT result = S_OK;
  try {
    const std::string path = ModulePath(module);
    if (path.empty()) return SELFREG_E_CLASS;
    if (server.replacesSystemClass) {
      DeleteClassesTree(ClassKey(server) + "\\LocalServer32");
      DeleteClassesTree(ClassKey(server) + "\\LocalServer");
    }
    if (!WriteClassKeys(server, path)) {
      result = SELFREG_E_CLASS;
    } else if (server.typeLib) {
      // The type library lets script callers reach the methods by name and
      // lets the interface be marshalled by the standard automation
      // marshaler.
      wchar_t widePath[MAX_PATH];
      ITypeLib* library = nullptr;
      if (!ModulePathWide(module, widePath) || FAILED(LoadTypeLibEx(widePath, REGKIND_NONE, &library)) ||
          !library) {
        result = SELFREG_E_TYPELIB;
      } else {
        if (FAILED(RegisterTypeLib(library, widePath, nullptr))) result = SELFREG_E_TYPELIB;
        library->Release();
      }
    }
  } catch (...) {
    result = E_OUTOFMEMORY;
  }
  if (FAILED(result)) RemoveServer(module, server);
  return result;
}

HRESULT UnregisterServer(HMODULE module, const ServerClass& server) noexcept {
  RemoveServer(module, server);
  return S_OK;
}

}  // namespace vendrolix::win32
