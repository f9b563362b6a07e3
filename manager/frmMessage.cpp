// frmMessage: the skinned message box, modal over the page that asks.
#include "manager_app.h"
#include "resource.h"

namespace vendrolix::manager {
namespace {

const SkinDesign kDesign = {kMessageClass, IDB_SKIN_MESSAGE, {0, 0, 4188, 2004}, 4272, 2064, false};

class FrmMessage final : public SkinnedWindow {
 public:
  FrmMessage() : SkinnedWindow(kDesign) {}
  bool closed() const { return closed_; }

  void Load(HWND owner) {
    ManagerState& state = State();
    // Before the window exists: its creation lays the labels out by it.
    layout_ = LayoutMessage(state.strMsgText, state.strMsgButtons);
    // The title is also the window text, so the box is found by its title.
    if (!Create(owner, state.strMsgTitle, {state.lngMsgLeft, state.lngMsgTop})) {
      closed_ = true;
      return;
    }
    SetWindowShape();
    MoveTo({state.lngMsgLeft, state.lngMsgTop});
    for (int n = 0; n < 2; ++n) {
      buttons_[n].caption = layout_.captions[n];
      if (layout_.buttonVisible[n]) {
        SetButtonNormal(n);
      } else {
        HideButton(n);
      }
    }
    MessageBeep(MB_OK);
  }

 private:
  void OnCreate() override {
    ManagerState& state = State();
    SkinLabel title;  // lblTitle
    title.text = state.strMsgTitle;
    title.rect = {420, 120, 2592, 312};
    title.font = SkinFont::BoxTitle;
    title.highlight = false;
    title.colour = RGB(255, 255, 255);
    title.drags = true;
    labels_.push_back(title);
    SkinLabel message;  // lblMessage
    message.text = state.strMsgText;
    message.rect = {300, layout_.labelTop, 3612, kMessageLabelHeight};
    message.format = DT_LEFT | DT_TOP | DT_WORDBREAK;
    message.drags = true;
    message.names = kReadableLabel;
    labels_.push_back(message);
    const long faceLeft[2] = {1560, 2760};
    for (int n = 0; n < 2; ++n) {
      SkinButton button;
      button.face = {faceLeft[n], 1320, 1152, 432};
      button.captionRect = {faceLeft[n] + 90, 1320 + 120, 972, 252};
      button.font = SkinFont::BoxButton;
      buttons_.push_back(button);
    }
  }

  void OnButtonClick(int n) override {
    State().strMsgResult = buttons_[n].caption;
    Finish();
  }

  // The box has no Close of its own; a close from outside answers nothing.
  void OnClose() override { Finish(); }

  // Enter on neither button gives the first answer, Esc the last one shown
  // ("Ok" alone, or the one that declines), as a system message box does.
  void OnEnterKey() override {
    if (layout_.buttonVisible[0]) OnButtonClick(0);
  }
  void OnEscapeKey() override { OnButtonClick(layout_.buttonVisible[1] ? 1 : 0); }
  // Gone with its owner (the page closed under it): the modal show ends.
  void OnDestroy() override { closed_ = true; }

  void Finish() {
    // The owner takes input again before the box goes, so it gets the
    // activation back instead of another program.
    if (HWND owner = GetWindow(hwnd(), GW_OWNER)) EnableWindow(owner, TRUE);
    closed_ = true;
    Destroy();
  }

  MessageLayout layout_;
  bool closed_ = false;
};

}  // namespace

std::string ShowMessage(SkinnedWindow& caller, const std::string& title, const std::string& text,
                        const std::string& buttons) {
  ManagerState& state = State();
  TwipsRect bounds = caller.Bounds();
  TwipsPoint where = MessagePosition(bounds.left, bounds.top, bounds.width, bounds.height);
  state.lngMsgLeft = where.left;
  state.lngMsgTop = where.top;
  state.strMsgText = text;
  state.strMsgTitle = title;
  state.strMsgButtons = buttons;
  state.strMsgResult.clear();

  HWND owner = caller.hwnd();
  // Where the keyboard was, to give it back there once the box is answered.
  HWND focused = GetFocus();
  FrmMessage box;
  box.Load(owner);
  if (box.closed() || !box.hwnd()) return state.strMsgResult;
  // The page takes no input from the moment the box can be seen, as a
  // system dialog box disables its owner before it shows.
  if (owner) EnableWindow(owner, FALSE);
  ShowWindow(box.hwnd(), SW_SHOW);
  UpdateWindow(box.hwnd());
  SetForegroundWindow(box.hwnd());

  MSG msg;
  while (!box.closed()) {
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got <= 0) {
      // The program is ending: close the box and let the outer loop see it.
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    // Tab between the answers, Enter and Esc.
    if (box.hwnd() && IsDialogMessageA(box.hwnd(), &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  // The page may have been closed meanwhile; then there is nothing to give
  // the input back to.
  if (HWND page = caller.hwnd()) {
    EnableWindow(page, TRUE);
    SetForegroundWindow(page);
    if (focused && IsChild(page, focused) && IsWindowEnabled(focused)) SetFocus(focused);
  }
  return state.strMsgResult;
}

}  // namespace vendrolix::manager
