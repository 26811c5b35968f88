#include "capture/platform/platform_error.h"

#include <cstdio>
#include <string_view>

namespace tarvix::capture::platform {
namespace {

// Texts for the codes this layer itself produces, used when the platform
// left no message of its own.
std::string_view known_text(Hresult code) {
  switch (static_cast<std::uint32_t>(code)) {
    case 0x80004005u:
      return "Unspecified error";
    case 0x80004003u:
      return "Invalid pointer";
    case 0x80004002u:
      return "No such interface supported";
    case 0x80070057u:
      return "The parameter is incorrect.";
    case 0x8000000Eu:
      return "A method was called at an unexpected time.";
    case 0x800705A4u:
      return "Invalid thread identifier.";
    case 0x80070006u:
      return "The handle is invalid.";
    case 0x80070578u:
      return "Invalid window handle.";
    default:
      return "Unknown error";
  }
}

}  // namespace

std::string display(const PlatformError& error) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(error.code));
  std::string text = error.message.empty() ? std::string(known_text(error.code)) : error.message;
  text += " (";
  text += code;
  text += ')';
  return text;
}

}  // namespace tarvix::capture::platform
