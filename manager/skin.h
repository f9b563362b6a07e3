// The skinned window kit: a borderless window cut to a rounded rectangle,
// a stretched background picture, a title with its shadow, painted labels
// and lines, and painted buttons that sink while pressed. Every window of
// the manager except the cookie-file dialog is one of these.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "manager_logic.h"
#include "win32/handles.h"

namespace vendrolix::manager {

// The skinned buttons, tabs and heard labels are owner-drawn child windows
// (so the keyboard, the dialog manager and assistive technology know them),
// each drawn as its part of the scene the window paints once and keeps, and
// each taking its own mouse input: a button sinks under any mouse button and
// clicks only when released over itself.
inline constexpr int kSkinButtonId = 410;  // + button number
inline constexpr int kSkinLabelId = 430;   // + label index

// Rectangle in twips: left, top, width, height as in the window designs.
struct TwipsRect {
  long left = 0;
  long top = 0;
  long width = 0;
  long height = 0;
};

// Control: the lists' and text boxes' own font, whose texts scroll; the
// others are painted into fixed boxes and are fitted to them.
enum class SkinFont { PageTitle, BoxTitle, Label, PageButton, BoxButton, Control, Count };

// A painted label. highlight: the system's highlight-text colour instead of
// `colour`. drags: a mouse-down on it moves the window. tab: a tab label
// (1 or 2) whose click switches pages; 0 for none.
struct SkinLabel {
  std::string text;
  TwipsRect rect;
  SkinFont font = SkinFont::Label;
  bool highlight = true;
  COLORREF colour = RGB(0, 0, 0);
  UINT format = DT_LEFT | DT_TOP | DT_SINGLELINE;
  bool drags = false;
  int tab = 0;
  // Texts the label shows at other times; its font must fit them too.
  std::vector<std::string> otherTexts;
  // Heard as well as seen: the label is also a static child window, just
  // before the control of this id in the tab order, which a screen reader
  // then names by it; kReadableLabel for a text that names no control (a
  // message). 0: painted only. Tab labels are always controls of their own.
  int names = 0;
  // A drop shadow of the label before it: not drawn in high contrast.
  bool shadow = false;
  // False: heard only. A control the design gives no label still has its
  // name in a static text before it, which shows the scene under it.
  bool seen = true;
};
inline constexpr int kReadableLabel = -1;

struct SkinLine {
  long x1, y1, x2, y2;  // twips
  COLORREF colour;
};

struct SkinButton {
  std::string caption;
  TwipsRect face;
  TwipsRect captionRect;
  ButtonLook look = ButtonLook::Normal;
  SkinFont font = SkinFont::PageButton;
};

// A text painted in a skin font, and the box it must fit.
struct PaintedText {
  SkinFont font;
  std::string text;
  TwipsRect box;
  bool wraps;
};
std::vector<PaintedText> PaintedTexts(const std::vector<SkinLabel>& labels, const std::vector<SkinButton>& buttons);

struct SkinDesign {
  const char* className;
  int pictureId;          // bitmap resource of the background
  TwipsRect picture;      // imgBack
  long clientWidth;       // inside size, twips
  long clientHeight;
  bool pageWindow;        // taskbar entry with the system menu
};

class SkinnedWindow {
 public:
  explicit SkinnedWindow(const SkinDesign& design);
  virtual ~SkinnedWindow();
  SkinnedWindow(const SkinnedWindow&) = delete;
  SkinnedWindow& operator=(const SkinnedWindow&) = delete;

  // Creates the window hidden at the given screen position (twips). The
  // window's OnCreate adds its controls.
  bool Create(HWND owner, const std::string& caption, TwipsPoint where);
  HWND hwnd() const { return hwnd_; }
  void Destroy();

  void SetWindowShape();
  void AddSystemMenu();
  void SetButtonNormal(int n);
  void SetButtonPressed(int n);
  void HideButton(int n);
  void DragWindow();

  TwipsPoint Position() const;
  TwipsRect Bounds() const;
  void MoveTo(TwipsPoint where);

  // The skinned window a window handle belongs to, or null.
  static SkinnedWindow* FromHandle(HWND window);
  // The tab (1, 2) a skinned tab control stands for, 0 for other windows;
  // the window's own tab, 0 where it has none.
  int TabOfControl(HWND control) const;
  virtual int ActiveTab() const { return 0; }
  int dpi() const { return dpiY_; }
  int PxX(long twips) const { return TwipsToPixels(twips, dpiX_); }
  int PxY(long twips) const { return TwipsToPixels(twips, dpiY_); }
  RECT PxRect(const TwipsRect& r) const;

 protected:
  virtual void OnCreate() {}
  virtual void OnButtonClick(int n) {}
  virtual void OnTabClick(int index) {}
  virtual void OnClose() { Destroy(); }
  // Enter and Esc as the dialog manager tells them (the program's message
  // loops give every skinned window's keys to IsDialogMessage): the default
  // answer and the way out. Enter on a skinned button or tab is its click.
  virtual void OnEnterKey() {}
  virtual void OnEscapeKey() {}
  virtual void OnDestroy() {}
  // The window moved to a monitor of another DPI and has been laid out for
  // it; a page adjusts what it sized itself.
  virtual void OnDpiChanged() {}
  // The label beside the captionless option or check box that has the
  // keyboard, framed as focus is; -1 for none.
  virtual int FocusedLabel() const { return -1; }
  // Other messages: return true with *result set when handled.
  virtual bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) { return false; }

  std::vector<SkinLabel> labels_;
  std::vector<SkinLine> lines_;
  std::vector<SkinButton> buttons_;
  HFONT Font(SkinFont font) const;
  HWND AddChild(const char* className, DWORD style, DWORD exStyle, const TwipsRect& rect, int id,
                const char* text = "");
  // An option or check box without caption, sized by the system's metrics
  // for the screen's DPI (a design box may be smaller than the box the
  // system draws): at the design's left edge, centred on its middle.
  HWND AddCheckBox(DWORD style, const TwipsRect& design, int id, const char* name = "");
  // Repaints the window and its skinned controls from a scene painted
  // again, whose texts follow the labels' and buttons'. Whatever changes
  // the labels, buttons or lines after creation calls it.
  void Invalidate();
  // The system is in high contrast: the skin gives way to the system's
  // colours, with no picture.
  bool HighContrast() const { return highContrast_; }
  // The painted texts the fonts are fitted to: the window's labels and
  // buttons.
  virtual std::vector<PaintedText> TextsToFit() const;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam);
  // The scene as it stands, painted only when it was changed since.
  HBITMAP Scene(HDC like);
  // Copies the scene from `from` (window coordinates) into `to` of `target`.
  void CopyScene(HDC target, const RECT& to, POINT from);
  void PaintScene(HDC dc, const RECT& client);
  void PaintButton(HDC dc, const SkinButton& button);
  ButtonLook ShownLook(std::size_t n) const;
  void AddSkinControls();
  void DrawSkinControl(const DRAWITEMSTRUCT& item);
  void ShowButtonControl(int n);
  int ButtonOfControl(HWND control) const;
  int LabelOfControl(HWND control) const;
  // A skinned control's mouse: pressed, released at a point of the window,
  // or the press taken away.
  void OnControlDown(HWND control);
  void OnControlUp(HWND control, int x, int y);
  void CancelPress();
  int ButtonAt(int x, int y) const;
  int TabAt(int x, int y) const;
  bool DragsAt(int x, int y) const;
  void FitFonts();
  void PlaceChild(HWND child, const TwipsRect& design, bool checkBox);
  void ApplyDpi(int dpi, const RECT& suggested);

  SkinDesign design_;
  HWND hwnd_ = nullptr;
  int dpiX_ = 96;
  int dpiY_ = 96;
  HRGN hRgn_ = nullptr;  // owned by the window once applied
  win32::UniqueGdiObject<HBITMAP> picture_;
  win32::UniqueGdiObject<HBRUSH> backBrush_;
  win32::UniqueGdiObject<HFONT> fonts_[static_cast<int>(SkinFont::Count)];
  ButtonTracker tracker_;
  int tabDown_ = 0;
  win32::UniqueGdiObject<HBITMAP> scene_;
  SIZE sceneSize_ = {0, 0};
  bool sceneValid_ = false;
  std::vector<ButtonLook> sceneLooks_;  // the buttons as the scene shows them
  struct ChildLayout {
    HWND window;
    TwipsRect design;
    bool checkBox;
  };
  std::vector<ChildLayout> children_;  // laid out again when the DPI changes
  std::vector<HWND> buttonControls_;  // by button number
  std::vector<HWND> labelControls_;   // by label index; null where painted only
  HWND lastFocus_ = nullptr;          // given back when the window is active again
  bool highContrast_ = false;
};

// What a page window is made of besides its controls.
struct PageDesign {
  std::vector<SkinLabel> labels;
  std::vector<SkinButton> buttons;
};

// Page frame and tab outlines of a page window whose own tab is activeTab.
std::vector<SkinLine> PageFrameLines(int activeTab);
// The labels every page starts with, at these indexes; a page's own labels
// follow from kPageLabelCount on.
enum PageLabel : std::size_t { kTitleShadowLabel, kTitleLabel, kWhiteListTabLabel, kCookieTabLabel, kPageLabelCount };
std::vector<SkinLabel> PageTitleAndTabs();
// A page's painted button: its caption lies 120 twips right of and 96 below
// the face's corner.
SkinButton PageButton(const char* caption, TwipsRect face);

// The screen's logical dots per inch; 96 where it cannot be read.
struct Dpi {
  int x = 96;
  int y = 96;
};
Dpi ScreenDpi();

// A design font.
struct DesignFont {
  const char* face;
  int points;
  int weight;
};
// A text drawn into a box of the given pixel size, on one line or wrapped.
struct BoxedText {
  std::string text;
  int width;
  int height;
  bool wraps;
};
// The design font at the largest height, not above the design's, at which
// every text fits its box in the face the system actually gives for the
// design's (where the design face is missing, a wider one stands in).
win32::UniqueGdiObject<HFONT> FittingFont(const DesignFont& font, int dpi, const std::vector<BoxedText>& texts);
// An option or check box as the system draws it at a DPI: its side in pixels.
int CheckBoxSide(int dpi);
// Whether the system is in high contrast. Where the system keeps no such
// mode (Wine answers the query with nothing set), the user's stored choice
// under "Control Panel\Accessibility\HighContrast" stands in.
bool HighContrastOn();

inline constexpr COLORREF kSkinBack = RGB(96, 96, 96);
inline constexpr COLORREF kListBack = RGB(224, 224, 224);

}  // namespace vendrolix::manager
