// Failure codes of Windows calls as platform errors, and the way back: an
// event procedure's error becomes the HRESULT its raiser receives.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "capture/platform/platform_error.h"
#include "capture/platform/types.h"

namespace tarvix::capture::platform::win32 {

// UTF-16 from the system to UTF-8, with the line breaks, spaces and the
// stray NULs that system messages end with removed.
std::string tidy_system_text(std::wstring_view text);

// The system's message for a code, or empty when it has none.
std::string system_message(HRESULT code);

// A failed call's error: the error information the call left on the thread
// (taken, so it does not linger), otherwise the system's message for the code.
PlatformError error_from(HRESULT code);

// GetLastError of a failed Win32 call, as an HRESULT error.
PlatformError last_error();

// The code an event procedure returns to its raiser. A failure with a message
// also leaves that message as the thread's error information. Codes that
// would make the raiser drop the handler go back as E_FAIL.
HRESULT report(const EventResult& result) noexcept;

}  // namespace tarvix::capture::platform::win32
