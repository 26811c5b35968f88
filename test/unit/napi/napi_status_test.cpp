#include "napi/napi_status.h"

#include <gtest/gtest.h>

namespace tarvix::napi {
namespace {

TEST(NapiStatusTest, RawStatusesKeepTheirNameAndOthersAreUnknown) {
  // Scripts compare `code` against these names; the ends and a few between
  // catch a shifted table. A status newer than the table is Unknown.
  const std::pair<int, const char*> names[] = {
      {0, "Ok"},
      {9, "GenericFailure"},
      {10, "PendingException"},
      {20, "DetachableArraybufferExpected"},
      {22, "NoExternalBuffersAllowed"},
      {23, "Unknown"},
      {-1, "Unknown"},
  };
  for (const auto& [raw, name] : names)
    EXPECT_EQ(status_name(status_from_raw(raw)), name) << raw;
}

}  // namespace
}  // namespace tarvix::napi
