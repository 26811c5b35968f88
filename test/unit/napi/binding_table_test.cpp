#include "napi/binding_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "napi/host_library.h"

namespace tarvix::napi {
namespace {

HostFunction find_in(const char* name, void* library) {
  return static_cast<const HostLibrary*>(library)->find(name);
}

class BindingTableTest : public ::testing::Test {
 protected:
  void TearDown() override { reset_table(); }

  static HostLibrary test_host() {
    const HostCandidate candidate{HostCandidate::Mode::LoadByName, TARVIX_NAPI_HOST_PATH};
    auto host = open_host({&candidate, 1});
    if (!host) ADD_FAILURE() << host.error();
    return std::move(host).value();
  }
};

TEST_F(BindingTableTest, FallbackReportsOneLinePerCallAndSucceeds) {
  napi_value untouched = reinterpret_cast<napi_value>(std::intptr_t{7});
  ::testing::internal::CaptureStderr();
  const napi_status first = api().napi_get_undefined(nullptr, &untouched);
  const napi_status second = api().napi_create_int32(nullptr, 1, &untouched);
  const std::string output = ::testing::internal::GetCapturedStderr();

  EXPECT_EQ(first, napi_ok);
  EXPECT_EQ(second, napi_ok);
  EXPECT_EQ(untouched, reinterpret_cast<napi_value>(std::intptr_t{7}));
  EXPECT_EQ(output,
            "Node-API symbol napi_get_undefined has not been loaded\n"
            "Node-API symbol napi_create_int32 has not been loaded\n");
}

TEST_F(BindingTableTest, BoundFunctionsReachTheHostAndMissingOnesKeepTheirFallback) {
  HostLibrary host = test_host();
  bind_table(find_in, &host);

  ::testing::internal::CaptureStderr();
  napi_value value = nullptr;
  EXPECT_EQ(api().napi_create_int32(nullptr, 1234, &value), napi_ok);
  EXPECT_EQ(value, reinterpret_cast<napi_value>(std::intptr_t{1234}));
  EXPECT_EQ(api().napi_get_undefined(nullptr, &value), napi_generic_failure);
  bool pending = false;
  EXPECT_EQ(api().napi_is_exception_pending(nullptr, &pending), napi_ok);
  EXPECT_TRUE(pending);
  const std::string host_output = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(host_output, "");

  ::testing::internal::CaptureStderr();
  napi_valuetype type = napi_null;
  EXPECT_EQ(api().napi_typeof(nullptr, nullptr, &type), napi_ok);
  EXPECT_EQ(api().napi_throw(nullptr, nullptr), napi_ok);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "Node-API symbol napi_typeof has not been loaded\n"
            "Node-API symbol napi_throw has not been loaded\n");
  EXPECT_EQ(type, napi_null);
}

}  // namespace
}  // namespace tarvix::napi
