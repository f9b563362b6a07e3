// Whether a browser window of Internet Explorer is still open, as the browser
// helper's recount at quit and the tray's exit watch both ask it. The
// browser lives in more than one kind of host: its own frame windows, listed
// by the shell's window collection, and Edge's IE mode, whose pages run in
// iexplore.exe processes under Edge's own top-level windows and which the
// collection lists only under a policy. So the answer joins three sources,
// gathered by the Win32 side (win32/browser_windows.h), and counts each
// window once.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace vendrolix {

inline constexpr const char* kIeFrameClass = "IEFrame";
inline constexpr const char* kPageWindowClass = "Internet Explorer_Server";
inline constexpr const char* kHtmlDialogClass = "Internet Explorer_TridentDlgFrame";
inline constexpr const char* kBrowserProgram = "iexplore.exe";

// True when the hosting program is the browser itself (its file name begins
// with "I"), false for the shell and any other host.
bool PassesHostTest(std::string_view fullName);

// True when the file name of a process image path is fileName, letter case
// ignored.
bool ImageNameIs(std::string_view imagePath, std::string_view fileName);

using WindowKey = std::uintptr_t;

// A page window of an Internet Explorer process: the top-level window it
// sits under, whoever owns that, and the thread that owns the page. The
// tab's or frame's thread: one browser window, however many frames it shows.
struct PageWindow {
  WindowKey root = 0;
  std::uint32_t thread = 0;
};

struct BrowserWindowCensus {
  // The top-level window of each item of the shell's window collection that
  // passes the host test; nullopt when the collection could not be counted.
  std::optional<std::vector<WindowKey>> listed;
  std::vector<PageWindow> pages;
  std::vector<WindowKey> frames;  // top-level "IEFrame" windows
  bool walked = false;            // the window walk went over every window
};

// The browser window whose quit asks: its top-level window and its thread.
struct QuittingWindow {
  WindowKey root = 0;
  std::uint32_t thread = 0;
};

// The browser windows open besides the quitting one; nullopt when that
// cannot be known (the collection or the walk failed), which is not none.
std::optional<int> OtherBrowserWindows(const BrowserWindowCensus& census, const QuittingWindow& quitting);

// Whether a browser window is seen open, for a watch that has no window of
// its own quitting. A walk that failed counts as open. Without the
// collection the walk still answers: every window the collection can list
// has a frame or a page window of its own.
bool BrowserWindowOpen(const BrowserWindowCensus& census);

}  // namespace vendrolix
