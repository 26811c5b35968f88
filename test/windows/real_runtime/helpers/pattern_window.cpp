// A borderless window that paints a known picture for the capture path to
// publish: flat cells in premultiplied colours (no channel above ALPHA, the
// alpha the capture doubles give every pixel) and below them a frame number
// in eight black-or-white blocks, advanced every 16 ms. Writes its handle
// (decimal) to HANDLE_FILE; when standard input ends it closes and writes to
// LOG_FILE what a receiver should see (straight colours) and when each
// number was painted, as JSON lines.
//   pattern_window.exe HANDLE_FILE LOG_FILE ALPHA < fifo
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int width = 256, height = 160, cell = 32;
constexpr int cell_rows = 4, cell_cols = width / cell, marker_bits = 8;

struct State {
  int alpha = 255;
  int number = 0;
  std::string log;
};
State state;

long long now_us() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return count.QuadPart / frequency.QuadPart * 1000000 +
         count.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart;
}

// Premultiplied B, G, R of a cell: distinct in every channel, none above alpha.
void cell_colour(int index, int out[3]) {
  out[0] = (index * 53 + 17) % (state.alpha + 1);
  out[1] = (index * 97 + 71) % (state.alpha + 1);
  out[2] = (index * 29 + 200) % (state.alpha + 1);
}

int straight(int value) {
  return std::min(255, (value * 255 + state.alpha / 2) / state.alpha);
}

void fill(HDC dc, int x, int y, int b, int g, int r) {
  RECT area{x, y, x + cell, y + cell};
  HBRUSH brush = CreateSolidBrush(RGB(r, g, b));
  FillRect(dc, &area, brush);
  DeleteObject(brush);
}

void paint(HWND window) {
  PAINTSTRUCT paint_state;
  HDC dc = BeginPaint(window, &paint_state);
  for (int i = 0; i < cell_rows * cell_cols; ++i) {
    int c[3];
    cell_colour(i, c);
    fill(dc, i % cell_cols * cell, i / cell_cols * cell, c[0], c[1], c[2]);
  }
  for (int bit = 0; bit < marker_bits; ++bit) {
    int v = (state.number >> bit & 1) ? state.alpha : 0;
    fill(dc, bit * cell, cell_rows * cell, v, v, v);
  }
  EndPaint(window, &paint_state);
  GdiFlush();
  state.log +=
      "{\"sent\":" + std::to_string(state.number) + ",\"t\":" + std::to_string(now_us()) + "}\n";
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT:
      paint(window);
      return 0;
    case WM_TIMER: {
      ++state.number;
      RECT band{0, cell_rows * cell, width, height};
      InvalidateRect(window, &band, FALSE);
      UpdateWindow(window);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

DWORD WINAPI watch_input(void* window) {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  char buffer[64];
  DWORD got = 0;
  while (input != nullptr && input != INVALID_HANDLE_VALUE &&
         ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) {
  }
  PostMessageW(static_cast<HWND>(window), WM_CLOSE, 0, 0);
  return 0;
}

std::string expectation() {
  std::string line = "{\"expect\":{\"width\":" + std::to_string(width) +
                     ",\"height\":" + std::to_string(height) + ",\"cell\":" + std::to_string(cell) +
                     ",\"marker_row\":" + std::to_string(cell_rows) +
                     ",\"marker_bits\":" + std::to_string(marker_bits) + ",\"cells\":[";
  for (int i = 0; i < cell_rows * cell_cols; ++i) {
    int c[3];
    cell_colour(i, c);
    line += (i ? ",[" : "[") + std::to_string(straight(c[0])) + "," +
            std::to_string(straight(c[1])) + "," + std::to_string(straight(c[2])) + "," +
            std::to_string(state.alpha) + "]";
  }
  return line + "]}}\n";
}

bool write_file(const char* path, const std::string& text) {
  std::FILE* file = std::fopen(path, "w");
  if (file == nullptr) return false;
  bool written = std::fputs(text.c_str(), file) >= 0;
  return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || std::atoi(argv[3]) < 1 || std::atoi(argv[3]) > 255) {
    std::fprintf(stderr, "usage: pattern_window.exe HANDLE_FILE LOG_FILE ALPHA(1-255)\n");
    return 2;
  }
  state.alpha = std::atoi(argv[3]);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = window_procedure;
  window_class.hInstance = instance;
  window_class.lpszClassName = L"tarvix pattern window";
  if (!RegisterClassW(&window_class)) return 1;
  // No frame: the client area is the whole window, so no title bar is cut.
  HWND window = CreateWindowExW(0, window_class.lpszClassName, L"tarvix pattern window",
                                WS_POPUP | WS_VISIBLE, 10, 10, width, height, nullptr, nullptr,
                                instance, nullptr);
  if (window == nullptr || !SetTimer(window, 1, 16, nullptr)) return 1;
  if (!write_file(argv[1], std::to_string(reinterpret_cast<std::uintptr_t>(window)) + "\n"))
    return 1;
  HANDLE watcher = CreateThread(nullptr, 0, watch_input, window, 0, nullptr);
  if (watcher) CloseHandle(watcher);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0)
    DispatchMessageW(&message);
  return write_file(argv[2], expectation() + state.log) ? 0 : 1;
}
