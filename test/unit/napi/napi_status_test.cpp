#include "napi/napi_status.h"

#include <gtest/gtest.h>

#include <climits>
#include <string_view>

#include "napi/status_error.h"

namespace tarvix::napi {
namespace {

TEST(NapiStatusTest, RawStatusesKeepTheirValueAndScriptVisibleName) {
  // The names are what scripts compare `code` against, so each one counts.
  constexpr std::string_view names[] = {"Ok",
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
                                        "NoExternalBuffersAllowed"};
  for (int raw = 0; raw <= 22; ++raw) {
    const NapiStatus status = status_from_raw(raw);
    EXPECT_EQ(static_cast<int>(status), raw);
    EXPECT_EQ(status_name(status), names[raw]) << raw;
  }
}

TEST(NapiStatusTest, StatusesOutsideTheTableAreUnknown) {
  for (int raw : {23, 24, 1024, -1, INT_MAX, INT_MIN}) {
    EXPECT_EQ(status_from_raw(raw), NapiStatus::Unknown) << raw;
  }
  EXPECT_EQ(static_cast<int>(NapiStatus::Unknown), 1024);
  EXPECT_EQ(status_name(NapiStatus::Unknown), "Unknown");
  // A Node-API status newer than the table still becomes a usable error.
  const StatusError error = StatusError::from(static_cast<napi_status>(23), "late");
  EXPECT_EQ(error.status, NapiStatus::Unknown);
  EXPECT_EQ(error.reason, "late");
}

}  // namespace
}  // namespace tarvix::napi
