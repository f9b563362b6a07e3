#include "input_support.h"

#include <vector>

namespace vendrolix::test {
namespace {

void SendMouse(int x, int y, DWORD flags) {
  int width = GetSystemMetrics(SM_CXSCREEN);
  int height = GetSystemMetrics(SM_CYSCREEN);
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dx = static_cast<LONG>((x * 65535LL + width / 2) / (width > 1 ? width - 1 : 1));
  input.mi.dy = static_cast<LONG>((y * 65535LL + height / 2) / (height > 1 ? height - 1 : 1));
  input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &input, sizeof(input));
  Sleep(60);
}

}  // namespace

void MouseMove(int x, int y) { SendMouse(x, y, 0); }
void MouseDown(int x, int y) {
  SendMouse(x, y, 0);
  SendMouse(x, y, MOUSEEVENTF_LEFTDOWN);
}
void MouseUp(int x, int y) {
  SendMouse(x, y, 0);
  SendMouse(x, y, MOUSEEVENTF_LEFTUP);
}
void MouseClick(int x, int y) {
  MouseDown(x, y);
  MouseUp(x, y);
}

void KeyPress(WORD virtualKey) {
  INPUT inputs[2] = {};
  inputs[0].type = INPUT_KEYBOARD;
  inputs[0].ki.wVk = virtualKey;
  inputs[1] = inputs[0];
  inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, inputs, sizeof(INPUT));
  Sleep(60);
}

COLORREF ScreenPixel(int x, int y) {
  HDC screen = GetDC(nullptr);
  COLORREF colour = GetPixel(screen, x, y);
  ReleaseDC(nullptr, screen);
  return colour;
}

bool SaveScreenshot(const std::string& path, const RECT* rect) {
  RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (rect) area = *rect;
  int width = area.right - area.left;
  int height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (bitmap && memory) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    SelectObject(memory, old);
    DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    DWORD size = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info.bmiHeader);
    file.bfSize = file.bfOffBits + size;
    HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      ok = WriteFile(out, &file, sizeof(file), &written, nullptr) &&
           WriteFile(out, &info.bmiHeader, sizeof(info.bmiHeader), &written, nullptr) &&
           WriteFile(out, bits, size, &written, nullptr);
      CloseHandle(out);
    }
  }
  if (bitmap) DeleteObject(bitmap);
  if (memory) DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

}  // namespace vendrolix::test
