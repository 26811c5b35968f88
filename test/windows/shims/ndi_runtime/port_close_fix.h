// Under Wine 8, closing an I/O completion port does not wake the threads
// waiting on it, so the NDI runtime's teardown (which closes its ports and
// joins the waiters) never returns. This rewrites the runtime's own import
// slots for GetQueuedCompletionStatus (3.5 imports no other port wait) and
// CloseHandle with wrappers that wait in short slices and fail a wait whose
// port was closed, as Windows does.
#pragma once

#include <windows.h>

// True when running under Wine (ntdll exports wine_get_version).
bool running_under_wine();

// Returns how many import slots of `module` were redirected.
int apply_port_close_fix(HMODULE module);
