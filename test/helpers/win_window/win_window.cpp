// Opens one visible window, writes its handle (decimal) to the file named by
// the first argument, and closes when standard input ends. A second argument
// RRGGBB paints the client area in that colour instead of white.
//   win_window.exe handle.txt [RRGGBB] < fifo
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

// Blocks on standard input; its end (or failure) closes the window.
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

bool write_handle(const char* path, HWND window) {
  std::FILE* file = std::fopen(path, "w");
  if (file == nullptr) return false;
  std::fprintf(file, "%llu\n",
               static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(window)));
  return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: win_window.exe HANDLE_FILE [RRGGBB]\n");
    return 2;
  }
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = window_procedure;
  window_class.hInstance = instance;
  window_class.lpszClassName = L"tarvix test window";
  const unsigned long rgb = argc == 3 ? std::strtoul(argv[2], nullptr, 16) : 0xFFFFFFul;
  window_class.hbrBackground =
      CreateSolidBrush(RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
  if (!RegisterClassW(&window_class)) return 1;
  HWND window = CreateWindowExW(0, window_class.lpszClassName, L"tarvix test window",
                                WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 320, 240, nullptr,
                                nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  if (!write_handle(argv[1], window)) return 1;
  HANDLE watcher = CreateThread(nullptr, 0, watch_input, window, 0, nullptr);
  if (watcher) CloseHandle(watcher);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
