#include "port_close_fix.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <set>

namespace {

// Short enough that teardown stays quick, long enough that idle workers
// barely cost anything.
constexpr DWORD slice_ms = 20;

// Ports with a waiter inside one of the wrappers, and which of them were
// closed while waited on.
struct PortWaits {
  std::mutex lock;
  std::map<HANDLE, int> waiters;
  std::set<HANDLE> closed;
};

PortWaits& port_waits() {
  static PortWaits waits;
  return waits;
}

class Waiter {
 public:
  explicit Waiter(HANDLE port) : port_(port) {
    std::lock_guard<std::mutex> hold(port_waits().lock);
    ++port_waits().waiters[port_];
  }
  ~Waiter() {
    PortWaits& waits = port_waits();
    std::lock_guard<std::mutex> hold(waits.lock);
    if (--waits.waiters[port_] == 0) {
      waits.waiters.erase(port_);
      waits.closed.erase(port_);
    }
  }
  Waiter(const Waiter&) = delete;
  Waiter& operator=(const Waiter&) = delete;

  bool port_closed() const {
    std::lock_guard<std::mutex> hold(port_waits().lock);
    return port_waits().closed.count(port_) != 0;
  }

 private:
  HANDLE port_;
};

// The next slice of a wait that ends at `deadline` (0: never); false once due.
bool next_slice(ULONGLONG deadline, DWORD* slice) {
  if (deadline == 0) {
    *slice = slice_ms;
    return true;
  }
  ULONGLONG now = GetTickCount64();
  if (now >= deadline) return false;
  *slice = static_cast<DWORD>(std::min<ULONGLONG>(slice_ms, deadline - now));
  return true;
}

ULONGLONG deadline_for(DWORD timeout) {
  return timeout == INFINITE ? 0 : GetTickCount64() + timeout;
}

BOOL WINAPI wait_port(HANDLE port, LPDWORD bytes, PULONG_PTR key, LPOVERLAPPED* overlapped,
                      DWORD timeout) {
  if (timeout == 0) return GetQueuedCompletionStatus(port, bytes, key, overlapped, 0);
  Waiter waiter(port);
  ULONGLONG deadline = deadline_for(timeout);
  DWORD slice = 0;
  while (next_slice(deadline, &slice)) {
    if (waiter.port_closed()) {
      *overlapped = nullptr;
      SetLastError(ERROR_ABANDONED_WAIT_0);
      return FALSE;
    }
    BOOL ok = GetQueuedCompletionStatus(port, bytes, key, overlapped, slice);
    if (ok || *overlapped != nullptr || GetLastError() != WAIT_TIMEOUT) return ok;
  }
  *overlapped = nullptr;
  SetLastError(WAIT_TIMEOUT);
  return FALSE;
}

BOOL WINAPI close_handle(HANDLE handle) {
  {
    PortWaits& waits = port_waits();
    std::lock_guard<std::mutex> hold(waits.lock);
    if (waits.waiters.count(handle) != 0) waits.closed.insert(handle);
  }
  return CloseHandle(handle);
}

void* wrapper_for(const char* name) {
  if (std::strcmp(name, "GetQueuedCompletionStatus") == 0)
    return reinterpret_cast<void*>(&wait_port);
  if (std::strcmp(name, "CloseHandle") == 0) return reinterpret_cast<void*>(&close_handle);
  return nullptr;
}

bool redirect(ULONG_PTR* slot, void* target) {
  DWORD old = 0;
  if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old)) return false;
  *slot = reinterpret_cast<ULONG_PTR>(target);
  VirtualProtect(slot, sizeof *slot, old, &old);
  return true;
}

}  // namespace

bool running_under_wine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

int apply_port_close_fix(HMODULE module) {
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return 0;
  int redirected = 0;
  for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       entry->Name != 0; ++entry) {
    if (lstrcmpiA(reinterpret_cast<char*>(base + entry->Name), "kernel32.dll") != 0) continue;
    DWORD names_at = entry->OriginalFirstThunk ? entry->OriginalFirstThunk : entry->FirstThunk;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + names_at);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* by_name = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      void* wrapper = wrapper_for(reinterpret_cast<const char*>(by_name->Name));
      if (wrapper != nullptr && redirect(&slots->u1.Function, wrapper)) ++redirected;
    }
  }
  return redirected;
}
