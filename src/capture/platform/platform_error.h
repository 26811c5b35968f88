// Platform failures as values: a failure code in the Windows HRESULT space
// plus the platform's own description, when it left one.
#pragma once

#include <cstdint>
#include <string>

#include "support/result.h"

namespace tarvix::capture::platform {

// An HRESULT: negative (top bit set) means failure.
using Hresult = std::int32_t;

constexpr Hresult hresult(std::uint32_t bits) noexcept {
  return static_cast<Hresult>(bits);
}

// HRESULT_FROM_WIN32 for a thread's last-error value.
constexpr Hresult hresult_from_win32(std::uint32_t error) noexcept {
  return error == 0 ? 0 : hresult((error & 0xFFFFu) | 0x80070000u);
}

inline constexpr Hresult kFail = hresult(0x80004005);         // E_FAIL
inline constexpr Hresult kPointer = hresult(0x80004003);      // E_POINTER: succeeded, no result
inline constexpr Hresult kNoInterface = hresult(0x80004002);  // E_NOINTERFACE
inline constexpr Hresult kInvalidArg = hresult(0x80070057);   // E_INVALIDARG
inline constexpr Hresult kIllegalCall = hresult(0x8000000E);  // E_ILLEGAL_METHOD_CALL
// The target thread exists but has not asked for messages yet, so it has
// no queue: posting can be retried.
inline constexpr Hresult kInvalidThreadId = hresult_from_win32(1444);  // 0x800705A4
// The target thread has ended (or never existed): retrying cannot help.
inline constexpr Hresult kThreadEnded = hresult_from_win32(6);  // 0x80070006, invalid handle

// Codes with which an event handler tells its source that it is gone; the
// source then removes the handler without a word.
inline constexpr Hresult kDisconnected = hresult(0x80010108);            // RPC_E_DISCONNECTED
inline constexpr Hresult kServerUnavailable = hresult_from_win32(1722);  // RPC_S_SERVER_UNAVAILABLE
inline constexpr Hresult kCantExecute = hresult(0x89020001);             // JSCRIPT_E_CANTEXECUTE

constexpr bool unregisters_handler(Hresult code) noexcept {
  return code == kDisconnected || code == kServerUnavailable || code == kCantExecute;
}

struct PlatformError {
  Hresult code = kFail;
  // The platform's error information for the failure; empty when it left none.
  std::string message;
};

template <class T>
using PlatformResult = Result<T, PlatformError>;

// "<message> (0x80070005)", or the code alone when the platform said nothing.
std::string display(const PlatformError& error);

}  // namespace tarvix::capture::platform
