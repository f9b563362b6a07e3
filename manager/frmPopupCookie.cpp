// frmPopupCookie: the cookie manager page.
#include "manager_app.h"
#include "resource.h"

namespace vendrolix::manager {
namespace {

const SkinDesign kDesign = {kCookieClass, IDB_SKIN_PAGE, {0, 0, 6348, 4020}, 6408, 4092, true};

}  // namespace

FrmPopupCookie::FrmPopupCookie() : PageWindow(kDesign, kCookiePage) {}

void FrmPopupCookie::OnCreate() {
  labels_ = PageTitleAndTabs();
  lines_ = PageFrameLines(kCookiePage);
  const char* captions[3] = {"Ok", "Apply", "Exit"};
  for (int n = 0; n < 3; ++n) {
    SkinButton button;
    button.caption = captions[n];
    button.face = {2640 + 1200L * n, 3420, 1092, 432};
    button.captionRect = {button.face.left + 120, button.face.top + 96, 852, 252};
    buttons_.push_back(button);
  }
}

void FrmPopupCookie::Load() {
  if (!CreatePage()) return;
  ShowPage();
}

void FrmPopupCookie::OnButtonClick(int n) {
  if (n == 2) ExitManager(State(), Pages(), page_);
}

}  // namespace vendrolix::manager
