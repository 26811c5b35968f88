#include "napi/napi_status.h"

#include <gtest/gtest.h>

#include <climits>

#include "napi/status_error.h"

namespace tarvix::napi {
namespace {

TEST(NapiStatusTest, RawStatusesKeepTheirNameAndOthersAreUnknown) {
  // Scripts compare `code` against these names; the ends and a few between
  // catch a shifted table.
  const std::pair<int, const char*> names[] = {{0, "Ok"},
                                               {9, "GenericFailure"},
                                               {10, "PendingException"},
                                               {20, "DetachableArraybufferExpected"},
                                               {22, "NoExternalBuffersAllowed"},
                                               {23, "Unknown"},
                                               {-1, "Unknown"},
                                               {INT_MIN, "Unknown"}};
  for (const auto& [raw, name] : names)
    EXPECT_EQ(status_name(status_from_raw(raw)), name) << raw;
  // A Node-API status newer than the table still becomes a usable error.
  const StatusError error = StatusError::from(static_cast<napi_status>(23), "late");
  EXPECT_EQ(error.status, NapiStatus::Unknown);
  EXPECT_EQ(error.reason, "late");
}

}  // namespace
}  // namespace tarvix::napi
