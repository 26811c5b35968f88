#include "napi/napi_status.h"

#include <gtest/gtest.h>

#include <climits>

#include "napi/status_error.h"

namespace tarvix::napi {
namespace {

TEST(NapiStatusTest, RawStatusesKeepTheirValueAndScriptVisibleName) {
  for (int raw = 0; raw <= 22; ++raw) {
    EXPECT_EQ(static_cast<int>(status_from_raw(raw)), raw);
    EXPECT_NE(status_name(status_from_raw(raw)), "Unknown") << raw;
  }
  // Scripts compare `code` against these names; the ends and a few between
  // catch a shifted table.
  EXPECT_EQ(status_name(status_from_raw(0)), "Ok");
  EXPECT_EQ(status_name(status_from_raw(9)), "GenericFailure");
  EXPECT_EQ(status_name(status_from_raw(10)), "PendingException");
  EXPECT_EQ(status_name(status_from_raw(20)), "DetachableArraybufferExpected");
  EXPECT_EQ(status_name(status_from_raw(22)), "NoExternalBuffersAllowed");
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
