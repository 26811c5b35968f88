// Checked X requests as values: a reply (owned, freed by its destructor) or
// the XError the server sent instead. The waits themselves are
// XConnection's, which bounds them.
#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

#include "capture/platform/x11/x_error.h"
#include "support/result.h"

namespace tarvix::capture::platform::x11 {

struct FreeDeleter {
  void operator()(void* p) const noexcept { std::free(p); }
};

template <class T>
using XReply = std::unique_ptr<T, FreeDeleter>;

template <class T>
using XResult = Result<T, XError>;

}  // namespace tarvix::capture::platform::x11
