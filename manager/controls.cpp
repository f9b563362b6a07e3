#include "controls.h"

namespace vendrolix::manager {

void ReplaceWindowProc(HWND window, WNDPROC proc) {
  const LONG_PTR original = SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
  SetWindowLongPtrA(window, GWLP_USERDATA, original);
}

std::string ListText(HWND list, int index) {
  LRESULT length = SendMessageA(list, LB_GETTEXTLEN, index, 0);
  if (length == LB_ERR || length < 0) return {};
  std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
  LRESULT got = SendMessageA(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(buffer.data()));
  if (got == LB_ERR) return {};
  return std::string(buffer.data(), static_cast<std::size_t>(got));
}

std::string WindowText(HWND window) {
  int length = GetWindowTextLengthA(window);
  std::vector<char> buffer(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
  int got = GetWindowTextA(window, buffer.data(), static_cast<int>(buffer.size()));
  return std::string(buffer.data(), static_cast<std::size_t>(got > 0 ? got : 0));
}

ListBoxFill::ListBoxFill(HWND list, std::size_t items, std::size_t textBytes) : list_(list) {
  SendMessageA(list_, WM_SETREDRAW, FALSE, 0);
  SendMessageA(list_, LB_INITSTORAGE, items, textBytes);
}

ListBoxFill::~ListBoxFill() {
  SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_, nullptr, TRUE);
}

void FillListBox(HWND list, const std::vector<std::string>& texts) {
  std::size_t bytes = 0;
  for (const std::string& text : texts) bytes += text.size() + 1;
  const ListBoxFill fill(list, texts.size(), bytes);
  for (const std::string& text : texts) SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

}  // namespace vendrolix::manager
