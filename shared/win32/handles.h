// Owners for Win32 handles: each closes its handle exactly once, when it
// goes out of scope, whatever path the code takes.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <utility>

namespace vendrolix::win32 {

template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(handle) {}
  ~UniqueHandle() { reset(); }

  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, Traits::Invalid())) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(std::exchange(other.handle_, Traits::Invalid()));
    return *this;
  }

  Handle get() const { return handle_; }
  bool valid() const { return handle_ != Traits::Invalid(); }
  explicit operator bool() const { return valid(); }

  Handle release() { return std::exchange(handle_, Traits::Invalid()); }
  void reset(Handle handle = Traits::Invalid()) {
    if (valid()) Traits::Close(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = Traits::Invalid();
};

struct RegKeyTraits {
  using Handle = HKEY;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { RegCloseKey(h); }
};
using UniqueHKey = UniqueHandle<RegKeyTraits>;

// Kernel objects whose failure value is INVALID_HANDLE_VALUE (files, finds
// use their own traits below).
struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { CloseHandle(h); }
};
using UniqueFile = UniqueHandle<FileHandleTraits>;

// Kernel objects whose failure value is null (processes, threads, events,
// mutexes).
struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { CloseHandle(h); }
};
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;

struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { FindClose(h); }
};
using UniqueFind = UniqueHandle<FindHandleTraits>;

template <typename T>
struct GdiObjectTraits {
  using Handle = T;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { DeleteObject(h); }
};
template <typename T>
using UniqueGdiObject = UniqueHandle<GdiObjectTraits<T>>;

struct IconTraits {
  using Handle = HICON;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { DestroyIcon(h); }
};
using UniqueIcon = UniqueHandle<IconTraits>;

// CoInitializeEx / CoUninitialize as a scope.
class ScopedCoInit {
 public:
  explicit ScopedCoInit(DWORD model = COINIT_APARTMENTTHREADED) : hr_(CoInitializeEx(nullptr, model)) {}
  ~ScopedCoInit() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  ScopedCoInit(const ScopedCoInit&) = delete;
  ScopedCoInit& operator=(const ScopedCoInit&) = delete;
  HRESULT result() const { return hr_; }

 private:
  HRESULT hr_;
};

}  // namespace vendrolix::win32
