// The thread message functions of the Windows platform.
#include <windows.h>

#include <pthread.h>

#include <type_traits>

#include "capture/platform/win32/abi_conversions.h"
#include "capture/platform/win32/hresult_error.h"
#include "capture/platform/win32/win32_platform.h"

namespace tarvix::capture::platform::win32 {

int Win32Platform::get_message(Message& message) {
  MSG msg{};
  const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
  if (got == -1) return -1;
  message = from_win32(msg);
  return got == 0 ? 0 : 1;
}

void Win32Platform::translate_message(const Message& message) {
  const MSG msg = to_win32(message);
  TranslateMessage(&msg);
}

void Win32Platform::dispatch_message(Message& message) {
  MSG msg = to_win32(message);
  msg.time = static_cast<DWORD>(GetMessageTime());
  const DWORD position = GetMessagePos();
  msg.pt.x = static_cast<short>(LOWORD(position));
  msg.pt.y = static_cast<short>(HIWORD(position));
  DispatchMessageW(&msg);
}

PlatformResult<void> Win32Platform::post_thread_message(ThreadId thread, std::uint32_t id,
                                                        std::uintptr_t wparam,
                                                        std::intptr_t lparam) {
  if (!PostThreadMessageW(thread, id, wparam, lparam)) return Err{last_error()};
  return {};
}

void Win32Platform::post_quit_message(int exit_code) {
  PostQuitMessage(exit_code);
}

ThreadId Win32Platform::current_thread_id() {
  return GetCurrentThreadId();
}

ThreadId Win32Platform::thread_id_of(std::thread::native_handle_type thread) {
  // std::thread runs on winpthreads here (the posix flavour of mingw-w64); its
  // handle leads to the OS thread.
  static_assert(std::is_same_v<std::thread::native_handle_type, pthread_t>,
                "build with the posix-thread flavour of mingw-w64");
  HANDLE handle = pthread_gethandle(thread);
  return handle ? GetThreadId(handle) : 0;
}

}  // namespace tarvix::capture::platform::win32
