// frmNSCookiePath: asks for the Netscape profile folder when the search
// finds none. A plain dialog-like window, modal over the cookie page.
#include "cookie_logic.h"
#include "manager_app.h"

namespace vendrolix::manager {
namespace {

constexpr const char* kLabelText =
    "The Cookie file of Netscape couldn't be found in the default directory! Please enter the path of Cookie file "
    "in the text box below. ( The path should end with .slt )";

struct PathDialog {
  HWND hwnd = nullptr;
  HWND text = nullptr;
  bool closed = false;
  std::string* result = nullptr;
  win32::UniqueGdiObject<HFONT> font;
};

void Close(PathDialog& dialog) {
  if (HWND owner = GetWindow(dialog.hwnd, GW_OWNER)) EnableWindow(owner, TRUE);
  dialog.closed = true;
  DestroyWindow(dialog.hwnd);
}

// Only an accepted folder becomes the answer: a refused text stays in the
// box, never in the answer a later close would hand back.
void CmdOkClick(PathDialog& dialog) {
  std::optional<std::string> folder = AcceptedProfileInput(WindowText(dialog.text));
  if (!folder) {
    MessageBoxA(dialog.hwnd, kPathMustEndText, kAppTitle, MB_OK);
    return;
  }
  *dialog.result = *folder;
  Close(dialog);
}

void CmdCancelClick(PathDialog& dialog) {
  *dialog.result = "Cancel";
  Close(dialog);
}

LRESULT CALLBACK PathProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* dialog = reinterpret_cast<PathDialog*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  switch (msg) {
    case WM_NCCREATE:
      SetWindowLongPtrA(hwnd, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
      break;
    case WM_COMMAND:
      if (!dialog) break;
      if (LOWORD(wParam) == IDOK) {
        CmdOkClick(*dialog);
        return 0;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        CmdCancelClick(*dialog);
        return 0;
      }
      break;
    case WM_CLOSE:
      // Closed by its title bar (or Alt+F4): any way out but Ok is Cancel.
      if (dialog) CmdCancelClick(*dialog);
      return 0;
    case WM_NCDESTROY:
      if (dialog) dialog->closed = true;
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

std::string ShowNSCookiePath(HWND owner) {
  std::string result = "Cancel";
  static bool registered = false;
  if (!registered) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = PathProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kPathDialogClass;
    registered = RegisterClassExA(&wc) != 0;
  }

  const Dpi dpi = ScreenDpi();
  auto px = [&dpi](long twips) { return TwipsToPixels(twips, dpi.x); };
  auto py = [&dpi](long twips) { return TwipsToPixels(twips, dpi.y); };

  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_DLGFRAME;
  const DWORD exStyle = WS_EX_DLGMODALFRAME;
  RECT frame = {0, 0, px(4272), py(2148)};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  int width = frame.right - frame.left;
  int height = frame.bottom - frame.top;
  RECT ownerRect = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (owner) GetWindowRect(owner, &ownerRect);
  int left = ownerRect.left + (ownerRect.right - ownerRect.left - width) / 2;
  int top = ownerRect.top + (ownerRect.bottom - ownerRect.top - height) / 2;

  PathDialog dialog;
  dialog.result = &result;
  dialog.hwnd = CreateWindowExA(exStyle, kPathDialogClass, "Path of Cookie File", style, left, top, width, height,
                                owner, nullptr, GetModuleHandleA(nullptr), &dialog);
  if (!dialog.hwnd) return result;
  // The label's four lines must all show in its box.
  dialog.font = FittingFont({"MS Sans Serif", 8, FW_NORMAL}, dpi.y,
                            {{kLabelText, px(3732), py(792), true}, {"Cancel", px(972) - 8, py(372), false}});
  auto add = [&](const char* cls, const char* text, DWORD childStyle, DWORD childEx, long l, long t, long w, long h,
                 int id) {
    HWND child = CreateWindowExA(childEx, cls, text, WS_CHILD | WS_VISIBLE | childStyle, px(l), py(t), px(w), py(h),
                                 dialog.hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleA(nullptr), nullptr);
    if (child) SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(dialog.font.get()), FALSE);
    return child;
  };
  add("STATIC", kLabelText, SS_LEFT, 0, 240, 240, 3732, 792, -1);
  dialog.text = add("EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 240, 1140, 3852, 312, kIdTxtPath);
  add("BUTTON", "Ok", WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 2040, 1620, 972, 372, IDOK);
  add("BUTTON", "Cancel", WS_TABSTOP | BS_PUSHBUTTON, 0, 3120, 1620, 972, 372, IDCANCEL);

  ShowWindow(dialog.hwnd, SW_SHOW);
  SetForegroundWindow(dialog.hwnd);
  SetFocus(dialog.text);
  if (owner) EnableWindow(owner, FALSE);

  MSG msg;
  while (!dialog.closed) {
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
      if (IsWindow(dialog.hwnd)) DestroyWindow(dialog.hwnd);
      break;
    }
    if (IsWindow(dialog.hwnd) && IsDialogMessageA(dialog.hwnd, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  if (owner && IsWindow(owner)) {  // the page may have been closed meanwhile
    EnableWindow(owner, TRUE);
    SetForegroundWindow(owner);
  }
  return result;
}

}  // namespace vendrolix::manager
