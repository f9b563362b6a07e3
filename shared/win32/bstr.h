// Texts handed to and taken from COM methods as BSTRs.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
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

// A BSTR as ANSI text, every character of it up to maxCharacters (a null
// BSTR is empty): a caller that keeps a bounded text converts no more.
inline std::string FromBstr(BSTR text, UINT maxCharacters = 0x7fffffff) {
  const UINT all = text ? SysStringLen(text) : 0;
  const int length = static_cast<int>(all < maxCharacters ? all : maxCharacters);
  const int n = length == 0 ? 0 : WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, length, &out[0], n, nullptr, nullptr);
  return out;
}

}  // namespace vendrolix::win32
