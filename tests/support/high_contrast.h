// High contrast for a while, as a user turns it on: the stored choice (which
// Wine keeps where it ignores the system's switch) and a dark palette, both
// set back afterwards. Programs started meanwhile draw in it.
#pragma once

#include <windows.h>

#include <iterator>
#include <optional>
#include <string>

namespace vendrolix::test {

class HighContrastSpell {
 public:
  HighContrastSpell() {
    for (std::size_t i = 0; i < std::size(kIndexes); ++i) saved_[i] = GetSysColor(kIndexes[i]);
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
      char flags[32] = {};
      DWORD size = sizeof(flags) - 1;
      if (RegQueryValueExA(key, "Flags", nullptr, nullptr, reinterpret_cast<BYTE*>(flags), &size) == ERROR_SUCCESS)
        savedFlags_ = flags;
      RegSetValueExA(key, "Flags", 0, REG_SZ, reinterpret_cast<const BYTE*>("127"), 4);
      RegCloseKey(key);
    }
    const COLORREF dark[] = {RGB(0, 0, 0),     RGB(255, 255, 255), RGB(0, 0, 0),  RGB(255, 255, 255),
                             RGB(0, 255, 255), RGB(0, 0, 0),       RGB(63, 242, 63)};
    SetSysColors(static_cast<int>(std::size(kIndexes)), kIndexes, dark);
  }
  ~HighContrastSpell() {
    SetSysColors(static_cast<int>(std::size(kIndexes)), kIndexes, saved_);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    if (savedFlags_) {
      RegSetValueExA(key, "Flags", 0, REG_SZ, reinterpret_cast<const BYTE*>(savedFlags_->c_str()),
                     static_cast<DWORD>(savedFlags_->size() + 1));
    } else {
      RegDeleteValueA(key, "Flags");
    }
    RegCloseKey(key);
  }
  HighContrastSpell(const HighContrastSpell&) = delete;
  HighContrastSpell& operator=(const HighContrastSpell&) = delete;

 private:
  static constexpr const char* kKey = "Control Panel\\Accessibility\\HighContrast";
  static constexpr int kIndexes[] = {COLOR_WINDOW,    COLOR_WINDOWTEXT,    COLOR_BTNFACE, COLOR_BTNTEXT,
                                     COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT, COLOR_GRAYTEXT};
  COLORREF saved_[std::size(kIndexes)] = {};
  std::optional<std::string> savedFlags_;
};

}  // namespace vendrolix::test
