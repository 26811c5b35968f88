#include "napi/napi_status.h"

#include <iterator>

namespace tarvix::napi {
namespace {

// Indexed by value for 0 to 22.
constexpr std::string_view kNames[] = {
    "Ok",
    "InvalidArg",
    "ObjectExpected",
    "StringExpected",
    "NameExpected",
    "FunctionExpected",
    "NumberExpected",
    "BooleanExpected",
    "ArrayExpected",
    "GenericFailure",
    "PendingException",
    "Cancelled",
    "EscapeCalledTwice",
    "HandleScopeMismatch",
    "CallbackScopeMismatch",
    "QueueFull",
    "Closing",
    "BigintExpected",
    "DateExpected",
    "ArrayBufferExpected",
    "DetachableArraybufferExpected",
    "WouldDeadlock",
    "NoExternalBuffersAllowed",
};
constexpr int kNamedCount = static_cast<int>(std::size(kNames));

}  // namespace

NapiStatus status_from_raw(int raw) noexcept {
  return raw >= 0 && raw < kNamedCount ? static_cast<NapiStatus>(raw) : NapiStatus::Unknown;
}

std::string_view status_name(NapiStatus status) noexcept {
  const int value = static_cast<int>(status);
  return value >= 0 && value < kNamedCount ? kNames[value] : "Unknown";
}

}  // namespace tarvix::napi
