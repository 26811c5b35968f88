// The error a capture handler returns from a frame: any displayable error of
// the handler's layer (a FrameError, an NDI error, ...), kept as its text.
#pragma once

#include <string>

namespace tarvix::capture {

struct HandlerError {
  std::string text;
};

inline const std::string& display(const HandlerError& error) {
  return error.text;
}

}  // namespace tarvix::capture
