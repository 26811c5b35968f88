#include "capture/platform/x11/x_error.h"

#include <array>
#include <cstdio>

#include "capture/platform/x11/answer_deadline.h"

namespace tarvix::capture::platform::x11 {

namespace {

constexpr std::array<const char*, 18> kCoreErrorNames{
    "Success",   "BadRequest", "BadValue",    "BadWindow",   "BadPixmap", "BadAtom",
    "BadCursor", "BadFont",    "BadMatch",    "BadDrawable", "BadAccess", "BadAlloc",
    "BadColor",  "BadGC",      "BadIDChoice", "BadName",     "BadLength", "BadImplementation"};

std::string error_name(std::uint8_t code) {
  if (code < kCoreErrorNames.size()) return kCoreErrorNames[code];
  return "extension error";
}

}  // namespace

XError XError::from(const xcb_generic_error_t& e) noexcept {
  return {e.error_code, e.major_code, e.minor_code, e.resource_id, false};
}

bool means_window_gone(const XError& e) noexcept {
  return (e.code == 0 && !e.unanswered) || e.code == kBadWindow || e.code == kBadDrawable;
}

std::string describe(const XError& e) {
  if (e.unanswered) {
    return "the X server did not answer within " + std::to_string(kAnswerBound.count()) + " s";
  }
  if (e.code == 0) return "the connection to the X server was lost";
  char text[160];
  std::snprintf(text, sizeof text, "X error %s (%u) for resource 0x%x, request %u.%u",
                error_name(e.code).c_str(), e.code, e.resource, e.major_opcode, e.minor_opcode);
  return text;
}

PlatformError to_platform_error(const XError& e) {
  const Hresult code =
      e.code == kBadWindow || e.code == kBadDrawable ? kInvalidWindowHandle : kFail;
  return {code, describe(e)};
}

}  // namespace tarvix::capture::platform::x11
