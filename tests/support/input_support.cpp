#include "input_support.h"

#include <iterator>
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

void KeyPress(WORD virtualKey, std::initializer_list<WORD> held) {
  std::vector<INPUT> inputs;
  const auto key = [&inputs](WORD vk, DWORD flags) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.dwFlags = flags;
    inputs.push_back(input);
  };
  for (WORD vk : held) key(vk, 0);
  key(virtualKey, 0);
  key(virtualKey, KEYEVENTF_KEYUP);
  for (auto vk = std::rbegin(held); vk != std::rend(held); ++vk) key(*vk, KEYEVENTF_KEYUP);
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  Sleep(60);
}

COLORREF ScreenPixel(int x, int y) {
  HDC screen = GetDC(nullptr);
  COLORREF colour = GetPixel(screen, x, y);
  ReleaseDC(nullptr, screen);
  return colour;
}

ScreenCapture CaptureScreen(const RECT& area) {
  ScreenCapture capture;
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return capture;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap && memory) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    SelectObject(memory, old);
    const auto* quads = static_cast<const RGBQUAD*>(bits);
    capture.width = width;
    capture.height = height;
    capture.pixels.reserve(static_cast<std::size_t>(width) * height);
    for (int i = 0; i < width * height; ++i)
      capture.pixels.push_back(RGB(quads[i].rgbRed, quads[i].rgbGreen, quads[i].rgbBlue));
  }
  if (bitmap) DeleteObject(bitmap);
  if (memory) DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return capture;
}

bool SaveScreenshot(const std::string& path, const RECT* rect) {
  RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (rect) area = *rect;
  const ScreenCapture capture = CaptureScreen(area);
  if (capture.pixels.empty()) return false;
  // A 24-bit bottom-up BMP.
  const DWORD stride = (static_cast<DWORD>(capture.width) * 3 + 3) & ~3u;
  std::vector<BYTE> rows(static_cast<std::size_t>(stride) * capture.height, 0);
  for (int y = 0; y < capture.height; ++y) {
    BYTE* row = rows.data() + static_cast<std::size_t>(capture.height - 1 - y) * stride;
    for (int x = 0; x < capture.width; ++x) {
      const COLORREF colour = capture.At(x, y);
      row[3 * x] = GetBValue(colour);
      row[3 * x + 1] = GetGValue(colour);
      row[3 * x + 2] = GetRValue(colour);
    }
  }
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof(header);
  header.biWidth = capture.width;
  header.biHeight = capture.height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(file) + sizeof(header);
  file.bfSize = file.bfOffBits + static_cast<DWORD>(rows.size());
  HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(out, &file, sizeof(file), &written, nullptr) &&
                  WriteFile(out, &header, sizeof(header), &written, nullptr) &&
                  WriteFile(out, rows.data(), static_cast<DWORD>(rows.size()), &written, nullptr);
  CloseHandle(out);
  return ok;
}

}  // namespace vendrolix::test
