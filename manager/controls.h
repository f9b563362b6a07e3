// Helpers for the system's own controls in the manager's windows: their
// texts, whole whatever their length, a list box filled at once, and a
// control's procedure taken over.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

namespace vendrolix::manager {

// Puts `proc` in front of a control's own procedure, which it keeps in the
// control's user data to call on (CallWindowProcA) for what it leaves.
void ReplaceWindowProc(HWND window, WNDPROC proc);

std::string ListText(HWND list, int index);
std::string WindowText(HWND window);

// While it lives, a list box is being filled with many entries: storage for
// them reserved at once and no drawing until the last is in, when the list
// is drawn once. Without it 100,000 entries grow the control's storage and
// redraw its scroll bar 100,000 times.
class ListBoxFill {
 public:
  ListBoxFill(HWND list, std::size_t items, std::size_t textBytes);
  ~ListBoxFill();
  ListBoxFill(const ListBoxFill&) = delete;
  ListBoxFill& operator=(const ListBoxFill&) = delete;

 private:
  HWND list_;
};
// The texts appended to the list in their order.
void FillListBox(HWND list, const std::vector<std::string>& texts);

}  // namespace vendrolix::manager
