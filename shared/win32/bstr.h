// Texts handed to COM methods that take a BSTR.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string_view>

namespace vendrolix::win32 {

// An ANSI text as a new BSTR, or null when it cannot be made; the caller
// frees it with SysFreeString.
inline BSTR AllocBstr(std::string_view text) {
  const int length = static_cast<int>(text.size());
  const int wide = length == 0 ? 0 : MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (length != 0 && wide <= 0) return nullptr;
  BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(wide));
  if (out && wide > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), length, out, wide);
  return out;
}

}  // namespace vendrolix::win32
