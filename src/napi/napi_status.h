// The status every error of the Node-API boundary carries. Values equal
// Node-API's own codes; the names are what a script sees as an error's `code`.
#pragma once

#include <string_view>

namespace tarvix::napi {

enum class NapiStatus : int {
  Ok = 0,
  InvalidArg = 1,
  ObjectExpected = 2,
  StringExpected = 3,
  NameExpected = 4,
  FunctionExpected = 5,
  NumberExpected = 6,
  BooleanExpected = 7,
  ArrayExpected = 8,
  GenericFailure = 9,
  PendingException = 10,
  Cancelled = 11,
  EscapeCalledTwice = 12,
  HandleScopeMismatch = 13,
  CallbackScopeMismatch = 14,
  QueueFull = 15,
  Closing = 16,
  BigintExpected = 17,
  DateExpected = 18,
  ArrayBufferExpected = 19,
  DetachableArraybufferExpected = 20,
  WouldDeadlock = 21,
  NoExternalBuffersAllowed = 22,
  Unknown = 1024,
};

// A raw status from a Node-API call: 0 to 22 keep their value, anything else
// (including codes newer than this table) is Unknown.
NapiStatus status_from_raw(int raw) noexcept;

std::string_view status_name(NapiStatus status) noexcept;

}  // namespace tarvix::napi
