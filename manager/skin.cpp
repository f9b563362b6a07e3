#include "skin.h"

#include <oleacc.h>

#include <windowsx.h>

#include <algorithm>
#include <cstdlib>
#include <set>

#include "accessible.h"
#include "controls.h"
#include "win32/registry.h"

namespace vendrolix::manager {
namespace {

COLORREF ToColorref(Rgb rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

// The design's fonts, in the order of SkinFont.
const DesignFont kFonts[static_cast<int>(SkinFont::Count)] = {
    {"MS Sans Serif", 12, FW_BOLD},   // PageTitle
    {"MS Sans Serif", 8, FW_BOLD},    // BoxTitle
    {"MS Sans Serif", 8, FW_NORMAL},  // Label
    {"Arial", 9, FW_BOLD},            // PageButton
    {"MS Sans Serif", 8, FW_BOLD},    // BoxButton
    {"MS Sans Serif", 8, FW_NORMAL},  // Control
};

HFONT MakeFont(const DesignFont& font, int height) {
  return CreateFontA(-height, 0, 0, 0, font.weight, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, font.face);
}

bool FitsBox(HDC dc, const BoxedText& text) {
  if (text.text.empty()) return true;
  RECT rc = {0, 0, text.width, 0};
  DrawTextA(dc, text.text.c_str(), -1, &rc,
            DT_CALCRECT | DT_NOPREFIX | (text.wraps ? DT_WORDBREAK : DT_SINGLELINE));
  return rc.right <= text.width && (!text.wraps || rc.bottom <= text.height);
}

// Page frame colours: light top and left edges, dark bottom and right.
constexpr COLORREF kFrameLight = RGB(176, 176, 176);
constexpr COLORREF kFrameDark = RGB(48, 48, 48);

// A memory DC, with the bitmap given selected into it, while it lives;
// null where either could not be had.
class MemoryDc {
 public:
  explicit MemoryDc(HDC like, HBITMAP bitmap = nullptr) : dc_(CreateCompatibleDC(like)) {
    if (!dc_ || !bitmap) return;
    old_ = SelectObject(dc_, bitmap);
    if (old_) return;
    DeleteDC(dc_);
    dc_ = nullptr;
  }
  ~MemoryDc() {
    if (!dc_) return;
    if (old_) SelectObject(dc_, old_);
    DeleteDC(dc_);
  }
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
  HGDIOBJ old_ = nullptr;
};

// Focus cues are shown once the keyboard has been used, as the system shows
// them on its own controls.
bool FocusCuesShown(HWND window) { return !(SendMessageA(window, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS); }

// The skin's focus mark: a dotted frame.
void DrawFocusFrame(HDC dc, const RECT& frame, COLORREF colour) {
  win32::UniqueGdiObject<HPEN> pen(CreatePen(PS_DOT, 1, colour));
  HGDIOBJ oldPen = SelectObject(dc, pen.get());
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  SetBkMode(dc, TRANSPARENT);
  Rectangle(dc, frame.left, frame.top, frame.right, frame.bottom);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
}

// A skinned tab is heard as a page tab, selected when it is its window's own.
bool TabState(HWND tab, long child, long* state) {
  if (child != CHILDID_SELF) return false;
  const SkinnedWindow* window = SkinnedWindow::FromHandle(GetParent(tab));
  if (!window) return false;
  *state |= STATE_SYSTEM_SELECTABLE;
  if (window->ActiveTab() && window->ActiveTab() == window->TabOfControl(tab)) *state |= STATE_SYSTEM_SELECTED;
  return true;
}

bool RegisterSkinClass(const char* className, WNDPROC proc) {
  static std::set<std::string> registered;
  if (registered.count(className)) return true;
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof(wc);
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  wc.hIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1));
  wc.lpszClassName = className;
  return RegisterClassExA(&wc) != 0 && registered.insert(className).second;
}

}  // namespace

std::vector<SkinLine> PageFrameLines(int activeTab) {
  // Tab headers: White List 2640..3720, Cookie Manager 3720..5160; the page
  // area spans 240,720 to 6120,3300.
  const long tabLeft[3] = {0, 2640, 3720};
  const long tabRight[3] = {0, 3720, 5160};
  int inactive = activeTab == kWhiteListPage ? kCookiePage : kWhiteListPage;
  long aL = tabLeft[activeTab], aR = tabRight[activeTab];
  long iL = tabLeft[inactive], iR = tabRight[inactive];
  return {
      // inactive tab first, so the active one's edges lie on top
      {iL, 420, iL, 720, kFrameLight},
      {iL, 420, iR, 420, kFrameLight},
      {iR, 420, iR, 720, kFrameDark},
      // page frame, open under the active tab
      {240, 720, 240, 3300, kFrameLight},
      {240, 720, aL, 720, kFrameLight},
      {aR, 720, 6120, 720, kFrameLight},
      {6120, 720, 6120, 3300, kFrameDark},
      {240, 3300, 6120 + 15, 3300, kFrameDark},
      // active tab, reaching higher
      {aL, 384, aL, 720, kFrameLight},
      {aL, 384, aR, 384, kFrameLight},
      {aR, 384, aR, 720, kFrameDark},
  };
}

std::vector<SkinLabel> PageTitleAndTabs() {
  std::vector<SkinLabel> labels(kPageLabelCount);
  SkinLabel& shadow = labels[kTitleShadowLabel];  // lblTitleBack1, under the title
  shadow.text = "Vendrolix Pro";
  shadow.rect = {264, 132, 2400, 432};
  shadow.font = SkinFont::PageTitle;
  shadow.highlight = false;
  shadow.colour = RGB(96, 96, 96);
  shadow.drags = true;  // it lies under the title
  shadow.shadow = true;
  SkinLabel& title = labels[kTitleLabel];  // lblTitle1
  title.text = "Vendrolix Pro";
  title.rect = {240, 108, 2400, 432};
  title.font = SkinFont::PageTitle;
  title.drags = true;
  SkinLabel& whiteList = labels[kWhiteListTabLabel];  // lblTab(1)
  whiteList.text = "White List";
  whiteList.rect = {2640, 480, 1092, 252};
  whiteList.format = DT_CENTER | DT_TOP | DT_SINGLELINE;
  whiteList.tab = kWhiteListPage;
  SkinLabel& cookie = labels[kCookieTabLabel];  // lblTab(2)
  cookie = whiteList;
  cookie.text = "Cookie Manager";
  cookie.rect = {3720, 480, 1452, 252};
  cookie.tab = kCookiePage;
  return labels;
}

SkinButton PageButton(const char* caption, TwipsRect face) {
  SkinButton button;
  button.caption = caption;
  button.face = face;
  button.captionRect = {face.left + 120, face.top + 96, 852, 252};
  return button;
}

std::vector<PaintedText> PaintedTexts(const std::vector<SkinLabel>& labels, const std::vector<SkinButton>& buttons) {
  std::vector<PaintedText> texts;
  for (const SkinLabel& label : labels) {
    if (!label.seen) continue;
    const bool wraps = (label.format & DT_WORDBREAK) != 0;
    texts.push_back({label.font, label.text, label.rect, wraps});
    for (const std::string& other : label.otherTexts) texts.push_back({label.font, other, label.rect, wraps});
  }
  for (const SkinButton& button : buttons) texts.push_back({button.font, button.caption, button.captionRect, false});
  return texts;
}

win32::UniqueGdiObject<HFONT> FittingFont(const DesignFont& font, int dpi, const std::vector<BoxedText>& texts) {
  const int designHeight = MulDiv(font.points, dpi > 0 ? dpi : 96, 72);
  // Below two thirds of the design's height a text would be hard to read;
  // there it may run past its box instead.
  const int smallest = std::max(1, designHeight * 2 / 3);
  const MemoryDc measure(nullptr);
  HDC dc = measure.get();
  win32::UniqueGdiObject<HFONT> made;
  for (int height = designHeight; height >= smallest; --height) {
    made.reset(MakeFont(font, height));
    if (!dc || !made) break;
    HGDIOBJ old = SelectObject(dc, made.get());
    bool fits = true;
    for (const BoxedText& text : texts) fits = fits && FitsBox(dc, text);
    SelectObject(dc, old);
    if (fits) break;
  }
  return made;
}

bool HighContrastOn() {
  HIGHCONTRASTA system = {};
  system.cbSize = sizeof(system);
  if (SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof(system), &system, 0) && (system.dwFlags & HCF_HIGHCONTRASTON))
    return true;
  std::string flags;
  return win32::ReadRegText(HKEY_CURRENT_USER, "Control Panel\\Accessibility\\HighContrast", "Flags", 16, flags) &&
         (std::strtoul(flags.c_str(), nullptr, 10) & HCF_HIGHCONTRASTON) != 0;
}

int CheckBoxSide(int dpi) {
  // Per monitor where the system can tell (Windows 10 1607 on), else the
  // system's metric scaled from the screen's DPI.
  using ForDpi = int(WINAPI*)(int, UINT);
  static const auto forDpi =
      reinterpret_cast<ForDpi>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetSystemMetricsForDpi")));
  if (forDpi && dpi > 0) {
    return std::max(forDpi(SM_CXMENUCHECK, static_cast<UINT>(dpi)), forDpi(SM_CYMENUCHECK, static_cast<UINT>(dpi)));
  }
  const int side = std::max(GetSystemMetrics(SM_CXMENUCHECK), GetSystemMetrics(SM_CYMENUCHECK));
  return dpi > 0 ? MulDiv(side, dpi, ScreenDpi().y) : side;
}

Dpi ScreenDpi() {
  Dpi dpi;
  if (HDC screen = GetDC(nullptr)) {
    dpi.x = GetDeviceCaps(screen, LOGPIXELSX);
    dpi.y = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
  }
  if (dpi.x <= 0) dpi.x = 96;
  if (dpi.y <= 0) dpi.y = 96;
  return dpi;
}

SkinnedWindow::SkinnedWindow(const SkinDesign& design) : design_(design) {}

SkinnedWindow::~SkinnedWindow() { Destroy(); }

bool SkinnedWindow::Create(HWND owner, const std::string& caption, TwipsPoint where) {
  const Dpi dpi = ScreenDpi();
  dpiX_ = dpi.x;
  dpiY_ = dpi.y;
  highContrast_ = HighContrastOn();
  RegisterSkinClass(design_.className, &SkinnedWindow::WindowProc);
  picture_.reset(static_cast<HBITMAP>(
      LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(design_.pictureId), IMAGE_BITMAP, 0, 0, 0)));
  backBrush_.reset(CreateSolidBrush(kListBack));
  fonts_[static_cast<int>(SkinFont::Control)] = FittingFont(kFonts[static_cast<int>(SkinFont::Control)], dpiY_, {});
  DWORD exStyle = design_.pageWindow ? WS_EX_APPWINDOW : WS_EX_TOOLWINDOW;
  hwnd_ = CreateWindowExA(exStyle, design_.className, caption.c_str(), WS_POPUP | WS_CLIPCHILDREN,
                          PxX(where.left), PxY(where.top), PxX(design_.clientWidth), PxY(design_.clientHeight),
                          owner, nullptr, GetModuleHandleA(nullptr), this);
  // The painted texts are known once the window has made its parts.
  if (hwnd_) FitFonts();
  return hwnd_ != nullptr;
}

void SkinnedWindow::Destroy() {
  if (hwnd_) DestroyWindow(hwnd_);
}

void SkinnedWindow::FitFonts() {
  const std::vector<PaintedText> texts = TextsToFit();
  for (int f = 0; f < static_cast<int>(SkinFont::Count); ++f) {
    if (f == static_cast<int>(SkinFont::Control)) continue;
    std::vector<BoxedText> boxed;
    for (const PaintedText& text : texts) {
      if (static_cast<int>(text.font) != f) continue;
      RECT box = PxRect(text.box);
      boxed.push_back({text.text, box.right - box.left, box.bottom - box.top, text.wraps});
    }
    fonts_[f] = FittingFont(kFonts[f], dpiY_, boxed);
  }
}

std::vector<PaintedText> SkinnedWindow::TextsToFit() const { return PaintedTexts(labels_, buttons_); }

HFONT SkinnedWindow::Font(SkinFont font) const { return fonts_[static_cast<int>(font)].get(); }

RECT SkinnedWindow::PxRect(const TwipsRect& r) const {
  RECT rc = {PxX(r.left), PxY(r.top), PxX(r.left + r.width), PxY(r.top + r.height)};
  return rc;
}

HWND SkinnedWindow::AddChild(const char* className, DWORD style, DWORD exStyle, const TwipsRect& rect, int id,
                             const char* text) {
  RECT rc = PxRect(rect);
  HWND child = CreateWindowExA(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, rc.left, rc.top,
                               rc.right - rc.left, rc.bottom - rc.top, hwnd_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
  if (child) {
    SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(Font(SkinFont::Control)), FALSE);
    children_.push_back({child, rect, false});
  }
  return child;
}

void SkinnedWindow::PlaceChild(HWND child, const TwipsRect& design, bool checkBox) {
  RECT rc = PxRect(design);
  if (checkBox) {
    // A pixel to spare around the box: the system's box and its metric may
    // differ by one.
    const int side = CheckBoxSide(dpiY_) + 2;
    const int middle = PxY(design.top + design.height / 2);
    rc = {rc.left, middle - side / 2, rc.left + side, middle - side / 2 + side};
  }
  SetWindowPos(child, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

SkinnedWindow* SkinnedWindow::FromHandle(HWND window) {
  char name[64] = {};
  if (!window || !GetClassNameA(window, name, sizeof(name))) return nullptr;
  // Only windows of the skin's own procedure carry it.
  if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC)) != &SkinnedWindow::WindowProc) return nullptr;
  return reinterpret_cast<SkinnedWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

void SkinnedWindow::ApplyDpi(int dpi, const RECT& suggested) {
  dpiX_ = dpiY_ = dpi;
  fonts_[static_cast<int>(SkinFont::Control)] = FittingFont(kFonts[static_cast<int>(SkinFont::Control)], dpiY_, {});
  FitFonts();
  for (const ChildLayout& child : children_) {
    PlaceChild(child.window, child.design, child.checkBox);
    SendMessageA(child.window, WM_SETFONT, reinterpret_cast<WPARAM>(Font(SkinFont::Control)), FALSE);
  }
  SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, PxX(design_.clientWidth), PxY(design_.clientHeight),
               SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowShape();
  OnDpiChanged();
  sceneValid_ = false;
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

HWND SkinnedWindow::AddCheckBox(DWORD style, const TwipsRect& design, int id, const char* name) {
  // The name is for assistive technology: the box is only as wide as its
  // square, so the system draws none of the text.
  HWND box = AddChild("BUTTON", style, 0, design, id, name);
  if (!box) return box;
  children_.back().checkBox = true;
  PlaceChild(box, design, true);
  return box;
}

void SkinnedWindow::Invalidate() {
  sceneValid_ = false;
  if (!hwnd_) return;
  for (std::size_t i = 0; i < labelControls_.size() && i < labels_.size(); ++i) {
    if (!labelControls_[i]) continue;
    if (WindowText(labelControls_[i]) != labels_[i].text) SetWindowTextA(labelControls_[i], labels_[i].text.c_str());
    InvalidateRect(labelControls_[i], nullptr, FALSE);
  }
  for (HWND control : buttonControls_) {
    if (control) InvalidateRect(control, nullptr, FALSE);
  }
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void SkinnedWindow::AddSkinControls() {
  const auto add = [this](const char* className, DWORD style, const TwipsRect& rect, int id, const std::string& text) {
    HWND control = AddChild(className, style, 0, rect, id, text.c_str());
    if (control) ReplaceWindowProc(control, &SkinnedWindow::ControlProc);
    return control;
  };
  buttonControls_.assign(buttons_.size(), nullptr);
  for (std::size_t n = 0; n < buttons_.size(); ++n) {
    buttonControls_[n] = add("BUTTON", BS_OWNERDRAW | WS_TABSTOP, buttons_[n].face,
                             kSkinButtonId + static_cast<int>(n), buttons_[n].caption);
  }
  labelControls_.assign(labels_.size(), nullptr);
  HWND lastTab = nullptr;
  for (std::size_t i = 0; i < labels_.size(); ++i) {
    const SkinLabel& label = labels_[i];
    if (!label.tab && !label.names) continue;
    const int id = kSkinLabelId + static_cast<int>(i);
    HWND control = label.tab ? add("BUTTON", BS_OWNERDRAW | WS_TABSTOP | WS_GROUP, label.rect, id, label.text)
                             : add("STATIC", SS_OWNERDRAW | SS_NOPREFIX, label.rect, id, label.text);
    labelControls_[i] = control;
    if (!control) continue;
    // The tab order is the order of the children: the tabs first, as on a
    // property sheet; a label just before the control it names; the
    // buttons last, in their order.
    if (label.tab) {
      SetWindowPos(control, lastTab ? lastTab : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      lastTab = control;
    } else if (HWND named = label.names > 0 ? GetDlgItem(hwnd_, label.names) : nullptr) {
      HWND before = GetWindow(named, GW_HWNDPREV);
      SetWindowPos(control, before ? before : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
  }
}

int SkinnedWindow::ButtonOfControl(HWND control) const {
  for (std::size_t n = 0; control && n < buttonControls_.size(); ++n) {
    if (buttonControls_[n] == control) return static_cast<int>(n);
  }
  return -1;
}

int SkinnedWindow::LabelOfControl(HWND control) const {
  for (std::size_t i = 0; control && i < labelControls_.size() && i < labels_.size(); ++i) {
    if (labelControls_[i] == control) return static_cast<int>(i);
  }
  return -1;
}

int SkinnedWindow::TabOfControl(HWND control) const {
  const int label = LabelOfControl(control);
  return label >= 0 ? labels_[label].tab : 0;
}

void SkinnedWindow::ShowButtonControl(int n) {
  if (n < 0 || n >= static_cast<int>(buttonControls_.size()) || !buttonControls_[n]) return;
  HWND control = buttonControls_[n];
  const bool shown = buttons_[n].look != ButtonLook::Hidden;
  if (WindowText(control) != buttons_[n].caption) SetWindowTextA(control, buttons_[n].caption.c_str());
  // A hidden button is no tab stop either; the keyboard leaves it first.
  if (!shown && GetFocus() == control) {
    if (HWND next = GetNextDlgTabItem(hwnd_, control, FALSE); next && next != control) SetFocus(next);
  }
  EnableWindow(control, shown ? TRUE : FALSE);
  ShowWindow(control, shown ? SW_SHOWNA : SW_HIDE);
}

void SkinnedWindow::DrawSkinControl(const DRAWITEMSTRUCT& item) {
  // A Space held or let go on a button changes its look behind the kit's
  // back: the scene follows it here.
  const int n = ButtonOfControl(item.hwndItem);
  if (n >= 0 && (static_cast<std::size_t>(n) >= sceneLooks_.size() || sceneLooks_[n] != ShownLook(n)))
    sceneValid_ = false;
  RECT where = item.rcItem;
  MapWindowPoints(item.hwndItem, hwnd_, reinterpret_cast<POINT*>(&where), 2);
  CopyScene(item.hDC, item.rcItem, {where.left, where.top});

  // In the caption's colour.
  if (item.CtlType != ODT_BUTTON || !(item.itemState & ODS_FOCUS) || (item.itemState & ODS_NOFOCUSRECT) ||
      !FocusCuesShown(item.hwndItem))
    return;
  RECT frame = item.rcItem;
  const int inset = n >= 0 ? 3 : 0;
  InflateRect(&frame, -inset, -inset);
  DrawFocusFrame(item.hDC, frame,
                 highContrast_ ? GetSysColor(COLOR_BTNTEXT) : ToColorref(ColoursFor(ButtonLook::Normal).caption));
}

void SkinnedWindow::SetWindowShape() {
  if (!hwnd_) return;
  PixelSize size = ShapeSize(design_.picture.width, design_.picture.height, dpiX_, dpiY_);
  hRgn_ = CreateRoundRectRgn(0, 0, size.width, size.height, 15, 15);
  if (!hRgn_) return;
  // From here on the region belongs to the window.
  if (!SetWindowRgn(hwnd_, hRgn_, TRUE)) DeleteObject(hRgn_);
}

void SkinnedWindow::AddSystemMenu() {
  if (!hwnd_) return;
  LONG style = GetWindowLongA(hwnd_, GWL_STYLE);
  SetWindowLongA(hwnd_, GWL_STYLE, style | WS_SYSMENU);
}

void SkinnedWindow::SetButtonNormal(int n) {
  if (n < 0 || n >= static_cast<int>(buttons_.size())) return;
  buttons_[n].look = ButtonLook::Normal;
  ShowButtonControl(n);
  Invalidate();
}

void SkinnedWindow::SetButtonPressed(int n) {
  if (n < 0 || n >= static_cast<int>(buttons_.size())) return;
  if (buttons_[n].look == ButtonLook::Hidden) return;
  buttons_[n].look = ButtonLook::Pressed;
  Invalidate();
}

void SkinnedWindow::HideButton(int n) {
  if (n < 0 || n >= static_cast<int>(buttons_.size())) return;
  buttons_[n].look = ButtonLook::Hidden;
  ShowButtonControl(n);
  Invalidate();
}

void SkinnedWindow::DragWindow() {
  ReleaseCapture();
  SendMessageA(hwnd_, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

TwipsPoint SkinnedWindow::Position() const {
  RECT rc = {};
  if (hwnd_) GetWindowRect(hwnd_, &rc);
  return {PixelsToTwips(rc.left, dpiX_), PixelsToTwips(rc.top, dpiY_)};
}

TwipsRect SkinnedWindow::Bounds() const {
  RECT rc = {};
  if (hwnd_) GetWindowRect(hwnd_, &rc);
  return {PixelsToTwips(rc.left, dpiX_), PixelsToTwips(rc.top, dpiY_), PixelsToTwips(rc.right - rc.left, dpiX_),
          PixelsToTwips(rc.bottom - rc.top, dpiY_)};
}

void SkinnedWindow::MoveTo(TwipsPoint where) {
  if (hwnd_) SetWindowPos(hwnd_, nullptr, PxX(where.left), PxY(where.top), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int SkinnedWindow::ButtonAt(int x, int y) const {
  for (std::size_t i = 0; i < buttons_.size(); ++i) {
    if (buttons_[i].look == ButtonLook::Hidden) continue;
    RECT rc = PxRect(buttons_[i].face);
    POINT pt = {x, y};
    if (PtInRect(&rc, pt)) return static_cast<int>(i);
  }
  return -1;
}

int SkinnedWindow::TabAt(int x, int y) const {
  for (const SkinLabel& label : labels_) {
    if (label.tab == 0) continue;
    RECT rc = PxRect(label.rect);
    POINT pt = {x, y};
    if (PtInRect(&rc, pt)) return label.tab;
  }
  return 0;
}

bool SkinnedWindow::DragsAt(int x, int y) const {
  // Labels other than the title take the mouse themselves; everywhere else
  // is the background picture, which drags.
  for (const SkinLabel& label : labels_) {
    if (label.drags) continue;
    RECT rc = PxRect(label.rect);
    POINT pt = {x, y};
    if (PtInRect(&rc, pt)) return false;
  }
  return true;
}

void SkinnedWindow::OnControlDown(HWND control) {
  // One press at a time, whichever mouse button made it.
  if (tracker_.pressed() >= 0 || tabDown_) return;
  if (const int n = ButtonOfControl(control); n >= 0) {
    tracker_.Down(n);
    SetButtonPressed(n);
    SetCapture(control);
  } else if (const int tab = TabOfControl(control)) {
    tabDown_ = tab;
    SetCapture(control);
  } else if (const int label = LabelOfControl(control); label >= 0 && labels_[label].drags) {
    DragWindow();
  }
}

void SkinnedWindow::OnControlUp(HWND control, int x, int y) {
  int pressed = tracker_.pressed();
  int click = tracker_.Up(ButtonAt(x, y));
  int tab = tabDown_;
  tabDown_ = 0;
  if (GetCapture() == control) ReleaseCapture();
  if (pressed >= 0) SetButtonNormal(pressed);
  if (click >= 0) {
    OnButtonClick(click);
  } else if (tab && TabAt(x, y) == tab) {
    OnTabClick(tab);
  }
}

void SkinnedWindow::CancelPress() {
  const int pressed = tracker_.pressed();
  tracker_.Cancel();
  tabDown_ = 0;
  if (pressed >= 0) SetButtonNormal(pressed);
}

void SkinnedWindow::PaintButton(HDC dc, const SkinButton& button) {
  if (button.look == ButtonLook::Hidden) return;
  ButtonColours colours = ColoursFor(button.look);
  if (highContrast_) {
    // The system's button colours; pressed shows as the highlight.
    const auto rgb = [](int index) {
      const COLORREF c = GetSysColor(index);
      return static_cast<Rgb>((GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c));
    };
    const bool pressed = button.look == ButtonLook::Pressed;
    colours = {rgb(pressed ? COLOR_HIGHLIGHT : COLOR_BTNFACE), rgb(pressed ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT),
               rgb(COLOR_BTNTEXT), rgb(COLOR_BTNTEXT)};
  }
  RECT face = PxRect(button.face);
  win32::UniqueGdiObject<HBRUSH> brush(CreateSolidBrush(ToColorref(colours.face)));
  FillRect(dc, &face, brush.get());

  RECT caption = PxRect(button.captionRect);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ToColorref(colours.caption));
  HGDIOBJ oldFont = SelectObject(dc, Font(button.font));
  DrawTextA(dc, button.caption.c_str(), -1, &caption, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, oldFont);

  long l = button.face.left, t = button.face.top;
  long r = l + button.face.width - 12, b = t + button.face.height - 12;
  const SkinLine edges[4] = {{l, t, l, b + 12, ToColorref(colours.leftTop)},
                             {l, t, r + 12, t, ToColorref(colours.leftTop)},
                             {l, b, r + 12, b, ToColorref(colours.bottomRight)},
                             {r, t, r, b + 12, ToColorref(colours.bottomRight)}};
  for (const SkinLine& line : edges) {
    win32::UniqueGdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, line.colour));
    HGDIOBJ oldPen = SelectObject(dc, pen.get());
    MoveToEx(dc, PxX(line.x1), PxY(line.y1), nullptr);
    LineTo(dc, PxX(line.x2), PxY(line.y2));
    SelectObject(dc, oldPen);
  }
}

HBITMAP SkinnedWindow::Scene(HDC like) {
  RECT client;
  GetClientRect(hwnd_, &client);
  if (!scene_ || sceneSize_.cx != client.right || sceneSize_.cy != client.bottom) {
    scene_.reset(CreateCompatibleBitmap(like, client.right, client.bottom));
    sceneSize_ = {client.right, client.bottom};
    sceneValid_ = false;
  }
  if (!scene_) return nullptr;
  if (sceneValid_) return scene_.get();
  const MemoryDc dc(like, scene_.get());
  if (!dc.get()) return nullptr;
  PaintScene(dc.get(), client);
  sceneValid_ = true;
  return scene_.get();
}

void SkinnedWindow::CopyScene(HDC target, const RECT& to, POINT from) {
  HBITMAP scene = Scene(target);
  if (!scene) return;
  const MemoryDc dc(target, scene);
  if (dc.get()) BitBlt(target, to.left, to.top, to.right - to.left, to.bottom - to.top, dc.get(), from.x, from.y, SRCCOPY);
}

ButtonLook SkinnedWindow::ShownLook(std::size_t n) const {
  // Space held on a focused button sinks it as a mouse press does.
  const ButtonLook look = buttons_[n].look;
  HWND control = n < buttonControls_.size() ? buttonControls_[n] : nullptr;
  if (look == ButtonLook::Normal && control && (SendMessageA(control, BM_GETSTATE, 0, 0) & BST_PUSHED))
    return ButtonLook::Pressed;
  return look;
}

void SkinnedWindow::PaintScene(HDC dc, const RECT& client) {
  win32::UniqueGdiObject<HBRUSH> back(CreateSolidBrush(highContrast_ ? GetSysColor(COLOR_WINDOW) : kSkinBack));
  FillRect(dc, &client, back.get());
  if (picture_ && !highContrast_) {
    const MemoryDc pictureDc(dc, picture_.get());
    if (pictureDc.get()) {
      BITMAP info = {};
      GetObjectA(picture_.get(), sizeof(info), &info);
      RECT area = PxRect(design_.picture);
      SetStretchBltMode(dc, HALFTONE);
      SetBrushOrgEx(dc, 0, 0, nullptr);
      StretchBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, pictureDc.get(), 0, 0,
                 info.bmWidth, info.bmHeight, SRCCOPY);
    }
  }

  for (const SkinLine& line : lines_) {
    win32::UniqueGdiObject<HPEN> pen(
        CreatePen(PS_SOLID, 1, highContrast_ ? GetSysColor(COLOR_WINDOWTEXT) : line.colour));
    HGDIOBJ oldPen = SelectObject(dc, pen.get());
    MoveToEx(dc, PxX(line.x1), PxY(line.y1), nullptr);
    LineTo(dc, PxX(line.x2), PxY(line.y2));
    SelectObject(dc, oldPen);
  }

  SetBkMode(dc, TRANSPARENT);
  COLORREF highlight = GetSysColor(COLOR_HIGHLIGHTTEXT);
  for (const SkinLabel& label : labels_) {
    if (!label.seen || (highContrast_ && label.shadow)) continue;
    RECT rc = PxRect(label.rect);
    SetTextColor(dc, highContrast_ ? GetSysColor(COLOR_WINDOWTEXT) : label.highlight ? highlight : label.colour);
    HGDIOBJ oldFont = SelectObject(dc, Font(label.font));
    // Single-line labels may run past their box where the system substitutes
    // a wider face for the design font; cutting the text would hide words.
    UINT noClip = (label.format & DT_WORDBREAK) ? 0 : DT_NOCLIP;
    DrawTextA(dc, label.text.c_str(), -1, &rc, label.format | DT_NOPREFIX | noClip);
    SelectObject(dc, oldFont);
  }

  // A box the system draws without its text shows no focus of its own: the
  // text beside it is framed instead, once the keyboard is in use.
  const int focused = FocusedLabel();
  if (focused >= 0 && static_cast<std::size_t>(focused) < labels_.size() && FocusCuesShown(hwnd_)) {
    const SkinLabel& label = labels_[focused];
    RECT text = PxRect(label.rect);
    HGDIOBJ oldFont = SelectObject(dc, Font(label.font));
    DrawTextA(dc, label.text.c_str(), -1, &text, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    InflateRect(&text, 2, 1);
    DrawFocusFrame(dc, text, highContrast_ ? GetSysColor(COLOR_WINDOWTEXT) : highlight);
  }

  sceneLooks_.assign(buttons_.size(), ButtonLook::Normal);
  for (std::size_t n = 0; n < buttons_.size(); ++n) {
    SkinButton shown = buttons_[n];
    shown.look = sceneLooks_[n] = ShownLook(n);
    PaintButton(dc, shown);
  }
}

LRESULT CALLBACK SkinnedWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<SkinnedWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    self = static_cast<SkinnedWindow*>(create->lpCreateParams);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    if (self) self->hwnd_ = hwnd;
  }
  if (!self) return DefWindowProcA(hwnd, msg, wParam, lParam);
  return self->Handle(msg, wParam, lParam);
}

LRESULT CALLBACK SkinnedWindow::ControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto original = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  SkinnedWindow* window = nullptr;
  switch (msg) {
    case WM_NCHITTEST:
      // A heard label takes the mouse as its painted text does, rather than
      // letting it through as a static text would.
      return HTCLIENT;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
      // Not the button's own press: that would take the keyboard, which a
      // click on the skin leaves where it is.
      if ((window = FromHandle(GetParent(hwnd)))) window->OnControlDown(hwnd);
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      if ((window = FromHandle(GetParent(hwnd)))) {
        POINT at = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        MapWindowPoints(hwnd, window->hwnd_, &at, 1);
        window->OnControlUp(hwnd, at.x, at.y);
      }
      return 0;
    case WM_MOUSEMOVE:
      // The button's own tracking would take a move with the mouse button
      // held and the capture ours for its own press, and sink the face.
      if ((window = FromHandle(GetParent(hwnd))) && (window->tracker_.pressed() >= 0 || window->tabDown_)) return 0;
      break;
    case WM_CAPTURECHANGED:
      // Taken away before the release: back to normal, no click. The
      // button's own Space press ends with it too.
      if (reinterpret_cast<HWND>(lParam) != hwnd && (window = FromHandle(GetParent(hwnd)))) window->CancelPress();
      break;
    case WM_GETOBJECT:
      window = FromHandle(GetParent(hwnd));
      if (window && window->TabOfControl(hwnd)) {
        if (LRESULT answer = AnswerGetObject(hwnd, wParam, lParam, {ROLE_SYSTEM_PAGETAB, &TabState})) return answer;
      }
      break;
    case WM_ERASEBKGND:
      // The face is the scene's; there is no background of its own.
      return 1;
    default:
      break;
  }
  return original ? CallWindowProcA(original, hwnd, msg, wParam, lParam) : DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT SkinnedWindow::Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (OnMessage(msg, wParam, lParam, &result)) return result;
  switch (msg) {
    case WM_CREATE:
      OnCreate();
      AddSkinControls();
      return 0;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (!item || item->CtlID < kSkinButtonId || item->CtlID >= kSkinLabelId + labels_.size()) break;
      DrawSkinControl(*item);
      return TRUE;
    }
    case WM_ACTIVATE:
      // As a dialog box does: the keyboard goes back where it was, or to
      // the first control, rather than to the window itself.
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
        return 0;
      }
      if (!HIWORD(wParam)) {
        HWND target = lastFocus_ && IsChild(hwnd_, lastFocus_) && IsWindowVisible(lastFocus_) &&
                              IsWindowEnabled(lastFocus_)
                          ? lastFocus_
                          : GetNextDlgTabItem(hwnd_, nullptr, FALSE);
        if (target) {
          SetFocus(target);
          return 0;
        }
      }
      break;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      if (dc) CopyScene(dc, ps.rcPaint, {ps.rcPaint.left, ps.rcPaint.top});
      EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_SIZE:
      sceneValid_ = false;
      break;
    case WM_SHOWWINDOW:
      // Shown again, as at a page switch: painted as it now is.
      if (wParam) sceneValid_ = false;
      break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
      // Only the picture and the painted texts get here: the skinned
      // controls take their own presses.
      if (DragsAt(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam))) DragWindow();
      return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetBkColor(dc, highContrast_ ? GetSysColor(COLOR_WINDOW) : kListBack);
      SetTextColor(dc, highContrast_ ? GetSysColor(COLOR_WINDOWTEXT) : RGB(0, 0, 0));
      return reinterpret_cast<LRESULT>(highContrast_ ? GetSysColorBrush(COLOR_WINDOW) : backBrush_.get());
    }
    case WM_DPICHANGED: {
      // Another monitor: the system's suggested place, the design's size at
      // the new DPI.
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      const int dpi = HIWORD(wParam);
      if (suggested && dpi > 0) ApplyDpi(dpi, *suggested);
      return 0;
    }
    case WM_UPDATEUISTATE: {
      // Focus cues shown or hidden: the framed label follows.
      const LRESULT r = DefWindowProcA(hwnd_, msg, wParam, lParam);
      sceneValid_ = false;
      InvalidateRect(hwnd_, nullptr, FALSE);
      return r;
    }
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
      // High contrast switched on or off, or its colours changed, while open.
      highContrast_ = HighContrastOn();
      sceneValid_ = false;
      RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
      return 0;
    case WM_COMMAND: {
      // A skinned button or tab clicked with Space, or by assistive
      // technology's default action.
      HWND from = reinterpret_cast<HWND>(lParam);
      if (from && HIWORD(wParam) == BN_CLICKED) {
        if (const int n = ButtonOfControl(from); n >= 0) {
          OnButtonClick(n);
          return 0;
        }
        if (const int tab = TabOfControl(from)) {
          OnTabClick(tab);
          return 0;
        }
      }
      // IsDialogMessage's Enter and Esc: no control of ours has these ids.
      if (lParam == 0 && LOWORD(wParam) == IDOK) {
        HWND focus = GetFocus();
        if (const int n = ButtonOfControl(focus); n >= 0) {
          OnButtonClick(n);
        } else if (const int tab = TabOfControl(focus)) {
          OnTabClick(tab);
        } else {
          OnEnterKey();
        }
        return 0;
      }
      if (lParam == 0 && LOWORD(wParam) == IDCANCEL) {
        OnEscapeKey();
        return 0;
      }
      break;
    }
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_NCDESTROY: {
      LRESULT r = DefWindowProcA(hwnd_, msg, wParam, lParam);
      SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      buttonControls_.clear();
      children_.clear();
      labelControls_.clear();
      lastFocus_ = nullptr;
      hRgn_ = nullptr;
      scene_.reset();
      sceneValid_ = false;
      OnDestroy();
      return r;
    }
    default:
      break;
  }
  return DefWindowProcA(hwnd_, msg, wParam, lParam);
}

}  // namespace vendrolix::manager
