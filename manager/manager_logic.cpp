#include "manager_logic.h"

#include <cmath>

#include "convert.h"
#include "lines.h"
#include "text.h"

namespace vendrolix::manager {

std::string FormatWebSiteList(const std::vector<std::string>& entries) {
  // A blank keyword (a hand-edited file's empty line, which the list box
  // shows as nothing) matches no page; it is not written back.
  std::vector<std::string> lines(1);
  lines.reserve(entries.size() + 1);
  for (const std::string& entry : entries) {
    if (!Trim(entry).empty()) lines.push_back(entry);
  }
  lines[0] = ToDecimalText(static_cast<long long>(lines.size() - 1));
  return JoinLinesCrLf(lines);
}

std::size_t SortedInsertIndex(std::size_t count, const std::function<std::string(std::size_t)>& itemAt,
                              std::string_view text) {
  std::size_t low = 0;
  std::size_t high = count;
  while (low < high) {
    std::size_t mid = low + (high - low) / 2;
    if (CompareNoCase(itemAt(mid), text) <= 0) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  return low;
}

int TwipsToPixels(long twips, int dpi) {
  if (dpi <= 0) dpi = 96;
  return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / kTwipsPerInch));
}

long PixelsToTwips(int pixels, int dpi) {
  if (dpi <= 0) dpi = 96;
  return std::lround(static_cast<double>(pixels) * kTwipsPerInch / dpi);
}

PixelSize ShapeSize(long widthTwips, long heightTwips, int dpiX, int dpiY) {
  if (dpiX <= 0) dpiX = 96;
  if (dpiY <= 0) dpiY = 96;
  PixelSize size;
  size.width = static_cast<int>(std::lround(static_cast<double>(widthTwips) * dpiX / kTwipsPerInch + 1));
  size.height = static_cast<int>(std::lround(static_cast<double>(heightTwips) * dpiY / kTwipsPerInch + 1));
  return size;
}

TwipsPoint InitialPagePosition(long screenWidthTwips, long screenHeightTwips) {
  return {std::lround(screenWidthTwips * 20.0 / 100.0), std::lround(screenHeightTwips * 30.0 / 100.0)};
}

int FirstPage(std::int16_t intStatus) { return intStatus == 1 ? kCookiePage : kWhiteListPage; }

std::int16_t StatusFromText(const std::string& text) {
  std::int16_t status = 0;
  ConvertToInt16(text, status);
  return status;
}

TwipsPoint PageLoaded(ManagerState& state, int page) {
  state.LoadedFlag(page) = true;
  state.intCurrentTab = static_cast<std::int16_t>(page);
  return {state.lngFormLeft, state.lngFormTop};
}

void SwitchTab(ManagerState& state, PageHost& host, int from, int index) {
  if (index == state.intCurrentTab) return;
  if (index != kWhiteListPage && index != kCookiePage) return;
  TwipsPoint here = host.Position(from);
  state.lngFormLeft = here.left;
  state.lngFormTop = here.top;
  if (state.LoadedFlag(index)) {
    host.Place(index, {state.lngFormLeft, state.lngFormTop});
    host.MakeVisible(index);
  } else {
    host.Load(index);
  }
  // Hiding this page with nothing in its place would leave the program
  // running without a window, turning every later start away.
  if (!host.Exists(index)) {
    state.intCurrentTab = static_cast<std::int16_t>(from);
    return;
  }
  state.intCurrentTab = static_cast<std::int16_t>(index);
  host.Hide(from);
}

void ExitManager(ManagerState& state, PageHost& host, int from) {
  int other = from == kWhiteListPage ? kCookiePage : kWhiteListPage;
  if (state.LoadedFlag(other)) {
    host.Unload(other);
    state.LoadedFlag(other) = false;
  }
  host.Unload(from);
  state.LoadedFlag(from) = false;
  host.EndProgram();
}

MessageLayout LayoutMessage(std::string_view text, std::string_view buttons) {
  MessageLayout layout;
  layout.labelTop = text.size() < 50 ? kMessageLabelTop + kMessageLabelHeight / 4 : kMessageLabelTop;
  if (buttons == "YesNo") {
    layout.captions[0] = "Yes";
    layout.captions[1] = "No";
  } else if (buttons == "NoYes") {
    layout.captions[0] = "No";
    layout.captions[1] = "Yes";
  } else {
    // "Ok", and any other set nobody asks for: one button cannot strand the
    // user in a box without a way out.
    layout.captions[0] = "Ok";
    layout.buttonVisible[1] = false;
  }
  return layout;
}

TwipsPoint MessagePosition(long callerLeft, long callerTop, long callerWidth, long callerHeight) {
  return {callerLeft + std::lround(callerWidth / 10.0), callerTop + std::lround(callerHeight / 5.0)};
}

ButtonColours ColoursFor(ButtonLook look) {
  switch (look) {
    case ButtonLook::Pressed:
      return {MakeRgb(96, 96, 96), MakeRgb(130, 130, 130), MakeRgb(70, 70, 70), MakeRgb(130, 130, 130)};
    case ButtonLook::Normal:
    case ButtonLook::Hidden:
    default:
      return {MakeRgb(105, 105, 105), MakeRgb(250, 250, 250), MakeRgb(130, 130, 130), MakeRgb(70, 70, 70)};
  }
}

int ButtonTracker::Down(int n) {
  pressed_ = n;
  return pressed_;
}

int ButtonTracker::Up(int over) {
  int pressed = pressed_;
  pressed_ = -1;
  return (pressed >= 0 && pressed == over) ? pressed : -1;
}

}  // namespace vendrolix::manager
