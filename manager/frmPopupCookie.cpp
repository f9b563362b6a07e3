// frmPopupCookie: the cookie manager page, its two views and the keep lists.
#include <algorithm>
#include <vector>

#include "accessible.h"
#include "convert.h"
#include "cookie_logic.h"
#include "cookies.h"
#include "data_files.h"
#include "manager_app.h"
#include "resource.h"
#include "win32/CRegistry.h"
#include "win32/file_io.h"
#include "win32/policy_reader.h"

#include <windowsx.h>  // after windows.h

namespace vendrolix::manager {
namespace {

const SkinDesign kDesign = {kCookieClass, IDB_SKIN_PAGE, {0, 0, 6348, 4020}, 6408, 4092, true};

constexpr COLORREF kGrey = RGB(0xA0, 0xA0, 0xA0);

// The column of the entries' check boxes: the system's box and a margin of
// two pixels each side.
int CheckColumnWidth(HWND list) {
  const SkinnedWindow* page = SkinnedWindow::FromHandle(GetParent(list));
  return CheckBoxSide(page ? page->dpi() : ScreenDpi().y) + 4;
}

// Tall enough for the list's text and for the check box, at the page's DPI.
int EntryHeight(HWND page, HFONT font, int dpi) {
  int textHeight = 0;
  if (HDC dc = GetDC(page)) {
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICA metrics = {};
    if (GetTextMetricsA(dc, &metrics)) textHeight = metrics.tmHeight;
    SelectObject(dc, old);
    ReleaseDC(page, dc);
  }
  return std::max(textHeight + 3, CheckBoxSide(dpi) + 3);
}

// The page's own labels, after the title and the tabs.
enum CookieLabel : std::size_t {
  kHeadingLabel = kPageLabelCount,
  kIeLabel,
  kNsLabel,
  kAutoCleanLabel,
  kCookieLabelCount
};

class Win32CookieFiles final : public CookieFiles {
 public:
  bool FolderExists(const std::string& path) override { return win32::FolderExists(path); }
  bool FileExists(const std::string& path) override { return win32::FileExists(path); }
  bool IsPlainLocal(const std::string& path) override { return win32::IsPlainLocalPath(path); }
  std::vector<std::string> Subfolders(const std::string& folder) override {
    return win32::ListFolder(folder, win32::FolderEntries::Folders).value_or(std::vector<std::string>());
  }
};

// The check box of each entry is the item data: kTicked when the user keeps
// it, kEnforced when the administrator does (shown ticked and greyed, not
// toggled, and never written to the keep list, which keeps the user's own).
constexpr LRESULT kTicked = 1;
constexpr LRESULT kEnforced = 2;

void Toggle(HWND list, int index) {
  LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
  if (index < 0 || index >= count) return;
  LRESULT data = SendMessageA(list, LB_GETITEMDATA, index, 0);
  if (data == LB_ERR || (data & kEnforced)) return;
  SendMessageA(list, LB_SETITEMDATA, index, data ^ kTicked);
  NotifyWinEvent(EVENT_OBJECT_STATECHANGE, list, OBJID_CLIENT, index + 1);
  RECT rc;
  if (SendMessageA(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&rc)) != LB_ERR)
    InvalidateRect(list, &rc, FALSE);
}

// The entry under a point of the list's client area, or -1 for none. The
// list's own hit test (LB_ITEMFROMPOINT) answers with 16 bits of index, too
// few for a cookie folder of 100,000 files; the rectangles of the entries in
// view have no such limit.
int EntryAt(HWND list, POINT pt) {
  RECT client;
  if (!GetClientRect(list, &client) || !PtInRect(&client, pt)) return -1;
  LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
  LRESULT top = SendMessageA(list, LB_GETTOPINDEX, 0, 0);
  if (count == LB_ERR || top == LB_ERR) return -1;
  for (LRESULT i = top; i < count; ++i) {
    RECT item;
    if (SendMessageA(list, LB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item)) == LB_ERR ||
        item.top >= client.bottom)
      break;
    if (PtInRect(&item, pt)) return static_cast<int>(i);
  }
  return -1;
}

// An entry's tick as assistive technology reads it: checked, and read-only
// where the administrator keeps it. Where the system's object knows no
// entries, the list's own selection and focus make the rest.
bool EntryState(HWND list, long child, long* state) {
  if (child <= 0) return false;
  const LRESULT index = child - 1;
  const LRESULT data = SendMessageA(list, LB_GETITEMDATA, static_cast<WPARAM>(index), 0);
  if (data == LB_ERR) return false;
  if (*state == 0) {
    *state = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
    if (SendMessageA(list, LB_GETCURSEL, 0, 0) == index) *state |= STATE_SYSTEM_SELECTED;
    if (GetFocus() == list && SendMessageA(list, LB_GETCARETINDEX, 0, 0) == index) *state |= STATE_SYSTEM_FOCUSED;
  }
  if (data & (kTicked | kEnforced)) *state |= STATE_SYSTEM_CHECKED;
  if (data & kEnforced) *state |= STATE_SYSTEM_READONLY;
  return true;
}

// Clicks on an entry's box and Space on the entry with the caret tick it.
LRESULT CALLBACK CheckListProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto original = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      LRESULT r = CallWindowProcA(original, hwnd, msg, wParam, lParam);
      POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      if (pt.x < CheckColumnWidth(hwnd)) Toggle(hwnd, EntryAt(hwnd, pt));
      return r;
    }
    case WM_KEYDOWN:
      if (wParam == VK_SPACE) {
        Toggle(hwnd, static_cast<int>(SendMessageA(hwnd, LB_GETCARETINDEX, 0, 0)));
        return 0;
      }
      break;
    case WM_CHAR:
      if (wParam == ' ') return 0;
      break;
    case WM_GETOBJECT:
      if (LRESULT answer = AnswerGetObject(hwnd, wParam, lParam, {0, &EntryState})) return answer;
      break;
    default:
      break;
  }
  return CallWindowProcA(original, hwnd, msg, wParam, lParam);
}

}  // namespace

FrmPopupCookie::FrmPopupCookie()
    : PageWindow(kDesign, kCookiePage), logic_(*this), files_(std::make_unique<Win32CookieFiles>()) {}

PageDesign FrmPopupCookie::Design() {
  PageDesign design;
  design.labels = PageTitleAndTabs();
  design.labels.resize(kCookieLabelCount);
  // Label1. Its box reaches to just before the IE/AOL option: the design's
  // box is only as wide as the design's font needed.
  design.labels[kHeadingLabel].text = "Check the cookies you want to keep.";
  design.labels[kHeadingLabel].rect = {480, 840, 3120, 192};
  design.labels[kHeadingLabel].names = kIdListCookie;
  design.labels[kIeLabel].text = "IE/AOL";  // lblIECookie
  design.labels[kIeLabel].rect = {3960, 840, 732, 192};
  design.labels[kNsLabel].text = "Netscape";  // lblNSCookie
  design.labels[kNsLabel].rect = {5160, 840, 732, 192};
  design.labels[kAutoCleanLabel].rect = {720, 2988, 5532, 252};  // lblAutoClean, captioned per view
  design.labels[kAutoCleanLabel].otherTexts = {kIeCaption, kNsCaption};
  const char* captions[3] = {"Ok", "Apply", "Exit"};
  for (int n = 0; n < 3; ++n) design.buttons.push_back(PageButton(captions[n], {2640 + 1200L * n, 3420, 1092, 432}));
  return design;
}

void FrmPopupCookie::OnCreate() {
  PageDesign design = Design();
  labels_ = std::move(design.labels);
  buttons_ = std::move(design.buttons);
  lines_ = PageFrameLines(kCookiePage);

  skinBrush_.reset(CreateSolidBrush(kSkinBack));
  // The two options are one group: Tab reaches the chosen one, the arrows
  // move between them (ShowView keeps the tab stop on the chosen one).
  optIECookie_ =
      AddCheckBox(BS_RADIOBUTTON | BS_NOTIFY | WS_GROUP | WS_TABSTOP, {3720, 890, 132, 120}, kIdOptIE, "IE/AOL");
  optNSCookie_ = AddCheckBox(BS_RADIOBUTTON | BS_NOTIFY, {4920, 890, 132, 120}, kIdOptNS, "Netscape");
  lstCookie_ = AddChild("LISTBOX",
                        WS_GROUP | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_OWNERDRAWFIXED |
                            LBS_HASSTRINGS,
                        WS_EX_CLIENTEDGE, {480, 1140, 5412, 1776}, kIdListCookie);
  if (lstCookie_) ReplaceWindowProc(lstCookie_, &CheckListProc);
  chkAutoClean_ = AddCheckBox(BS_AUTOCHECKBOX | BS_NOTIFY | WS_TABSTOP, {480, 3000, 132, 132}, kIdChkAutoClean);
}

bool FrmPopupCookie::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (msg) {
    case WM_MEASUREITEM: {
      auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      if (measure->CtlID != kIdListCookie) return false;
      measure->itemHeight = static_cast<UINT>(EntryHeight(hwnd(), Font(SkinFont::Control), dpi()));
      *result = TRUE;
      return true;
    }
    case WM_DRAWITEM: {
      auto* draw = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
      if (draw->CtlID != kIdListCookie) return false;
      DrawItem(*draw);
      *result = TRUE;
      return true;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetBkColor(dc, HighContrast() ? GetSysColor(COLOR_WINDOW) : kSkinBack);
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      *result = reinterpret_cast<LRESULT>(HighContrast() ? GetSysColorBrush(COLOR_WINDOW) : skinBrush_.get());
      return true;
    }
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_SETFOCUS || HIWORD(wParam) == BN_KILLFOCUS) {
        Invalidate();  // the framed label follows the keyboard
        *result = 0;
        return true;
      }
      if (HIWORD(wParam) == BN_CLICKED && (LOWORD(wParam) == kIdOptIE || LOWORD(wParam) == kIdOptNS)) {
        // An option's click runs only when it becomes selected.
        if (LOWORD(wParam) == kIdOptIE && SendMessageA(optIECookie_, BM_GETCHECK, 0, 0) != BST_CHECKED) {
          ShowView(1);
          logic_.OptIECookieClick();
        } else if (LOWORD(wParam) == kIdOptNS && SendMessageA(optNSCookie_, BM_GETCHECK, 0, 0) != BST_CHECKED) {
          ShowView(0);
          logic_.OptNSCookieClick();
        }
        *result = 0;
        return true;
      }
      return false;
    default:
      return false;
  }
}

int FrmPopupCookie::FocusedLabel() const {
  const HWND focus = GetFocus();
  if (!focus) return -1;
  if (focus == optIECookie_) return kIeLabel;
  if (focus == optNSCookie_) return kNsLabel;
  if (focus == chkAutoClean_) return kAutoCleanLabel;
  return -1;
}

void FrmPopupCookie::OnDpiChanged() {
  SendMessageA(lstCookie_, LB_SETITEMHEIGHT, 0, EntryHeight(hwnd(), Font(SkinFont::Control), dpi()));
}

void FrmPopupCookie::DrawItem(const DRAWITEMSTRUCT& item) {
  if (item.itemID == static_cast<UINT>(-1)) return;
  HDC dc = item.hDC;
  RECT rc = item.rcItem;
  bool selected = (item.itemState & ODS_SELECTED) != 0;
  const bool system = HighContrast();
  win32::UniqueGdiObject<HBRUSH> back(
      CreateSolidBrush(selected ? GetSysColor(COLOR_HIGHLIGHT) : system ? GetSysColor(COLOR_WINDOW) : kListBack));
  FillRect(dc, &rc, back.get());
  const int side = CheckBoxSide(dpi());
  const int top = (rc.top + rc.bottom - side) / 2;
  RECT box = {rc.left + 2, top, rc.left + 2 + side, top + side};
  UINT state = DFCS_BUTTONCHECK | DFCS_FLAT;
  if (item.itemData & static_cast<ULONG_PTR>(kTicked | kEnforced)) state |= DFCS_CHECKED;
  if (item.itemData & static_cast<ULONG_PTR>(kEnforced)) state |= DFCS_INACTIVE;
  DrawFrameControl(dc, &box, DFC_BUTTON, state);
  std::string text = ListText(item.hwndItem, static_cast<int>(item.itemID));
  RECT textRect = {rc.left + CheckColumnWidth(item.hwndItem) + 2, rc.top, rc.right, rc.bottom};
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : system ? GetSysColor(COLOR_WINDOWTEXT) : RGB(0, 0, 0));
  DrawTextA(dc, text.c_str(), -1, &textRect, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) DrawFocusRect(dc, &rc);
}

void FrmPopupCookie::Load() {
  if (!CreatePage()) return;
  logic_.Load();
  ShowPage();
  if (lstCookie_ && hwnd()) SetFocus(lstCookie_);
}

void FrmPopupCookie::OnButtonClick(int n) {
  switch (n) {
    case 0:  // ApplyAndExit; a save that failed keeps the page open
      if (logic_.ApplyChanges()) ExitManager(State(), Pages(), page_);
      break;
    case 1:
      logic_.ApplyChanges();
      break;
    case 2:
      ExitManager(State(), Pages(), page_);
      break;
    default:
      break;
  }
}

std::string FrmPopupCookie::ReadSetting(const char* name) { return CRegistry::ForManager().GetRegStringValue(name); }

void FrmPopupCookie::WriteSetting(const char* name, const std::string& text) {
  CRegistry::ForManager().SetRegStringValue(name, text);
}

std::string FrmPopupCookie::ShellFolder(const char* name) {
  return CRegistry::ForManager().GetRegPathShellFolder(name);
}

CookieFiles& FrmPopupCookie::Files() { return *files_; }

cookies::IeCookieStore& FrmPopupCookie::IeStore() { return store_; }

std::vector<std::string> FrmPopupCookie::NetscapeFileEntries(const std::string& cookieFile) {
  return ReadNetscapeEntries(cookieFile);
}

std::string FrmPopupCookie::ReadKeepLine(const char* fileName) {
  return manager::ReadKeepLine(State().strAppPath + "\\" + fileName);
}

bool FrmPopupCookie::WriteKeepFile(const char* fileName, const std::string& content) {
  // Swapped in whole: a failed write leaves the previous list, never an
  // empty one that would let every cookie be cleaned.
  return win32::ReplaceFileContent(State().strAppPath + "\\" + fileName, content);
}

void FrmPopupCookie::ShowView(int view) {
  SendMessageA(optIECookie_, BM_SETCHECK, view == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
  SendMessageA(optNSCookie_, BM_SETCHECK, view == 1 ? BST_UNCHECKED : BST_CHECKED, 0);
  const auto tabStop = [](HWND option, bool chosen) {
    const LONG style = GetWindowLongA(option, GWL_STYLE);
    SetWindowLongA(option, GWL_STYLE, chosen ? style | WS_TABSTOP : style & ~WS_TABSTOP);
  };
  tabStop(optIECookie_, view == 1);
  tabStop(optNSCookie_, view != 1);
  labels_[kIeLabel].highlight = view == 1;
  labels_[kIeLabel].colour = kGrey;
  labels_[kNsLabel].highlight = view != 1;
  labels_[kNsLabel].colour = kGrey;
  Invalidate();
}

void FrmPopupCookie::ShowAutoClean(const std::string& caption, bool ticked) {
  labels_[kAutoCleanLabel].text = caption;
  SetWindowTextA(chkAutoClean_, caption.c_str());
  SendMessageA(chkAutoClean_, BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0);
  Invalidate();
}

void FrmPopupCookie::ClearList() { SendMessageA(lstCookie_, LB_RESETCONTENT, 0, 0); }

void FrmPopupCookie::FillList(const std::vector<ListedCookie>& cookies) {
  std::size_t bytes = 0;
  for (const ListedCookie& cookie : cookies) bytes += cookie.entry.size() + 1;
  const ListBoxFill fill(lstCookie_, cookies.size(), bytes);
  for (const ListedCookie& cookie : cookies) {
    LRESULT at = SendMessageA(lstCookie_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(cookie.entry.c_str()));
    if (at >= 0) {
      const LRESULT data = (cookie.kept ? kTicked : 0) | (cookie.enforced ? kEnforced : 0);
      SendMessageA(lstCookie_, LB_SETITEMDATA, static_cast<WPARAM>(at), data);
    }
  }
}

std::vector<std::string> FrmPopupCookie::TickedEntries() {
  std::vector<std::string> kept;
  LRESULT count = SendMessageA(lstCookie_, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count && count != LB_ERR; ++i) {
    const LRESULT data = SendMessageA(lstCookie_, LB_GETITEMDATA, static_cast<WPARAM>(i), 0);
    if (data != LB_ERR && (data & kTicked))
      kept.push_back(ListText(lstCookie_, static_cast<int>(i)));
  }
  return kept;
}

void FrmPopupCookie::LockAutoClean(bool locked) { EnableWindow(chkAutoClean_, locked ? FALSE : TRUE); }

Policy FrmPopupCookie::ReadCookiePolicy() { return win32::ReadPolicy(kPolicyCleaning | kPolicyKeepCookies); }

bool FrmPopupCookie::AutoCleanTicked() { return SendMessageA(chkAutoClean_, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void FrmPopupCookie::ShowNoNetscape() { ShowMessage(*this, kNoNetscapeTitle, kNoNetscapeText, "Ok"); }

std::string FrmPopupCookie::AskProfileFolder() { return ShowNSCookiePath(hwnd()); }

void FrmPopupCookie::ShowStillNotFound() { MessageBoxA(hwnd(), kStillNotFoundText, kAppTitle, MB_OK); }

void FrmPopupCookie::ShowSaveFailed() { ShowMessage(*this, kSaveFailedTitle, kSaveFailedText, "Ok"); }

bool FrmPopupCookie::Closed() { return hwnd() == nullptr; }

}  // namespace vendrolix::manager
