// Real input and screen captures for tests that drive windows of another
// process under Wine's X11 display.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace vendrolix::test {

// Absolute mouse input through SendInput at screen pixel x, y.
void MouseMove(int x, int y);
void MouseDown(int x, int y);
void MouseUp(int x, int y);
void MouseClick(int x, int y);

// A key pressed and released through SendInput (virtual-key code), with
// the keys of `held` (Ctrl, Shift) down around it.
void KeyPress(WORD virtualKey, std::initializer_list<WORD> held = {});

// The screen's colour at x, y.
COLORREF ScreenPixel(int x, int y);

// The colours of a screen rectangle at one moment.
struct ScreenCapture {
  int width = 0;
  int height = 0;
  std::vector<COLORREF> pixels;  // row by row from the top-left corner
  COLORREF At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};
ScreenCapture CaptureScreen(const RECT& area);

// A 24-bit BMP of a screen rectangle (the whole screen when rect is null).
bool SaveScreenshot(const std::string& path, const RECT* rect = nullptr);

}  // namespace vendrolix::test
