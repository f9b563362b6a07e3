// The manager's rules that need no window: the white list file, twips and
// pixels, the message box layout, page navigation and the button looks.
// The Win32 front end gathers inputs, calls these and performs the results.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "white_list.h"

namespace vendrolix::manager {

// ---- White list file -------------------------------------------------------

// The parser the tray shares (white_list.h).
using vendrolix::ParseWebSiteList;

// The count line reads back as a signed 16-bit number: one entry more than
// this and the whole file would read as an empty list.
inline constexpr std::size_t kWhiteListCapacity = 32767;

// The file's bytes for entries in list order: the count line, then one line
// per entry that is not blank, every line ended by CR LF ("0" CR LF for an
// empty list).
std::string FormatWebSiteList(const std::vector<std::string>& entries);

// Where text goes into a list kept in case-insensitive order: after every
// entry that sorts before it or equal to it, so duplicates keep the order in
// which they were added. itemAt(i) returns the i-th of count entries.
std::size_t SortedInsertIndex(std::size_t count, const std::function<std::string(std::size_t)>& itemAt,
                              std::string_view text);

// ---- Twips -----------------------------------------------------------------

inline constexpr int kTwipsPerInch = 1440;

// A length in twips at the screen's logical dots per inch, rounded.
int TwipsToPixels(long twips, int dpi);
long PixelsToTwips(int pixels, int dpi);

// Size in pixels of the rounded outline of a picture of the given twips size:
// twips / twips-per-pixel + 1, rounded (424 x 269 for a page at 96 dpi).
struct PixelSize {
  int width = 0;
  int height = 0;
};
PixelSize ShapeSize(long widthTwips, long heightTwips, int dpiX, int dpiY);

// Where a page first stands: 20 % of the screen width, 30 % of its height.
struct TwipsPoint {
  long left = 0;
  long top = 0;
};
TwipsPoint InitialPagePosition(long screenWidthTwips, long screenHeightTwips);

// ---- Pages and navigation --------------------------------------------------

inline constexpr int kWhiteListPage = 1;
inline constexpr int kCookiePage = 2;

// The page the program opens with for a Status value: the cookie manager for
// 1, the white list for anything else.
int FirstPage(std::int16_t intStatus);
// Status text (as CRegistry returns it) to its 16-bit number; 0 when it is
// not a number.
std::int16_t StatusFromText(const std::string& text);

// Program-wide state of MainModule.
struct ManagerState {
  std::string strAppPath;
  std::int16_t intStatus = 0;
  long lngFormLeft = 0;
  long lngFormTop = 0;
  bool blnAdvancedLoaded = false;
  bool blnCookieLoaded = false;
  std::int16_t intCurrentTab = 0;
  // A site the tray asked to add, taken from the settings at start; added
  // when the white list page loads.
  std::string strSiteToAdd;

  // Message box parameters and result.
  std::string strMsgTitle;
  std::string strMsgText;
  std::string strMsgButtons;
  long lngMsgLeft = 0;
  long lngMsgTop = 0;
  std::string strMsgResult;

  bool& LoadedFlag(int page) { return page == kCookiePage ? blnCookieLoaded : blnAdvancedLoaded; }
};

// What the navigation needs of the windows. Positions are in twips.
class PageHost {
 public:
  virtual ~PageHost() = default;
  virtual TwipsPoint Position(int page) = 0;
  virtual void Place(int page, TwipsPoint where) = 0;
  virtual void MakeVisible(int page) = 0;
  // Loads and shows a page; its load handler calls PageLoaded once the
  // page's window exists.
  virtual void Load(int page) = 0;
  // The page's window exists (it may be hidden).
  virtual bool Exists(int page) = 0;
  virtual void Hide(int page) = 0;
  virtual void Unload(int page) = 0;
  virtual void EndProgram() = 0;
};

// A page's load handler once its window exists: the flags, and where the
// page stands. A page whose window could not be made is not loaded.
TwipsPoint PageLoaded(ManagerState& state, int page);
// A tab of page `from` clicked: show page `index` where `from` stands, then
// hide `from`. Should `index` not come up, `from` stays shown and current.
void SwitchTab(ManagerState& state, PageHost& host, int from, int index);
// Exit (or Close) on page `from`: unload the other page if loaded, then this
// one, then end.
void ExitManager(ManagerState& state, PageHost& host, int from);

// ---- Message box -----------------------------------------------------------

struct MessageLayout {
  long labelTop = 600;          // twips
  std::string captions[2];      // button 0 (left), button 1 (right)
  bool buttonVisible[2] = {true, true};
};
inline constexpr long kMessageLabelTop = 600;
inline constexpr long kMessageLabelHeight = 672;
MessageLayout LayoutMessage(std::string_view text, std::string_view buttons);
// The box stands a tenth of the caller's width right of and a fifth of its
// height below the caller's top-left corner.
TwipsPoint MessagePosition(long callerLeft, long callerTop, long callerWidth, long callerHeight);

// The notices of the white list page.
inline constexpr const char* kAddTitle = "Add web site";
inline constexpr const char* kAddText = "You shoud type a web site address first.";
inline constexpr const char* kRemoveTitle = "Remove web site";
inline constexpr const char* kRemoveText = "You should select one item in the list box first!";
// The administrator's AllowList entries head the list, marked, and never
// reach WebSite.dat; with LockWhiteList the page takes no change at all.
inline constexpr const char* kAdminEntrySuffix = "  (set by your administrator)";
inline constexpr const char* kAdminEntryText =
    "This web site was set by your administrator and cannot be removed here.";
inline constexpr const char* kWhiteListLockedNote = "Note: Your administrator manages this white list.";
inline constexpr const char* kWhiteListFullText =
    "The white list is full. Remove a web site before you add another one.";

// A save of the white list or of a keep list that failed (the file could
// not be written). Every save a person waits for reports a failure with
// this one notice, and the list on screen keeps what the user entered.
inline constexpr const char* kSaveFailedTitle = "Save failed";
inline constexpr const char* kSaveFailedText =
    "The list could not be saved. Your changes stay on screen; please try again.";

// ---- Skinned buttons -------------------------------------------------------

using Rgb = std::uint32_t;  // 0x00RRGGBB
constexpr Rgb MakeRgb(int r, int g, int b) { return (Rgb(r) << 16) | (Rgb(g) << 8) | Rgb(b); }

enum class ButtonLook { Normal, Pressed, Hidden };
struct ButtonColours {
  Rgb face;
  Rgb caption;
  Rgb leftTop;      // LineB1, LineB2
  Rgb bottomRight;  // LineB3, LineB4
};
ButtonColours ColoursFor(ButtonLook look);

// Mouse handling of the painted buttons: pressed on down, normal again on
// up wherever the mouse is, and a click only when released over the button
// that was pressed.
class ButtonTracker {
 public:
  // Mouse down on button n (or -1 for none). Returns the button pressed.
  int Down(int n);
  // Mouse up with the pointer over button `over` (-1: none). Returns the
  // button to click, or -1.
  int Up(int over);
  // Capture lost before the release: no click.
  void Cancel() { pressed_ = -1; }
  int pressed() const { return pressed_; }

 private:
  int pressed_ = -1;
};

}  // namespace vendrolix::manager
