// Finding the Node-API host and binding the function table from it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "napi/binding_table.h"
#include "napi/host_library.h"
#include "napi/registration.h"

namespace tarvix::napi {
namespace {

using Mode = HostCandidate::Mode;

// The test program itself provides no Node-API, and libm exports other
// things only: both are passed over.
TEST(HostLibraryTest, TakesTheFirstCandidateExportingCreateInt32) {
  const HostCandidate candidates[] = {
      {Mode::MainProgram, nullptr},
      {Mode::LoadByName, "libm.so.6"},
      {Mode::LoadByName, TARVIX_NAPI_HOST_PATH},
  };
  auto host = open_host(candidates);
  ASSERT_TRUE(host.ok()) << host.error();
  EXPECT_NE(host->find("napi_create_int32"), nullptr);
  EXPECT_EQ(host->find("napi_throw"), nullptr);
}

// This test program provides no Node-API, so registration cannot bind it and
// must say why, with the loader's own words, rather than go on.
TEST(RegistrationDeathTest, AHostWithoutNodeApiEndsTheProcessWithTheLoaderError) {
  if (void* libnode = dlopen("libnode.so", RTLD_NOW | RTLD_LOCAL)) {
    dlclose(libnode);
    GTEST_SKIP() << "this machine has a libnode.so, which registration would accept";
  }
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(register_module(nullptr, nullptr),
               "fatal: no module of this process provides Node-API: main program: "
               ".*napi_create_int32.*libnode.so: .*No such file");
}

HostFunction find_in(const char* name, void* library) {
  return static_cast<const HostLibrary*>(library)->find(name);
}

// A function the host lacks prints one line naming it and succeeds without
// touching its result.
TEST(BindingTableTest, BoundFunctionsReachTheHostAndMissingOnesKeepTheirFallback) {
  const HostCandidate candidate{Mode::LoadByName, TARVIX_NAPI_HOST_PATH};
  auto host = open_host({&candidate, 1});
  ASSERT_TRUE(host.ok()) << host.error();
  bind_table(find_in, &*host);
  ::testing::internal::CaptureStderr();
  napi_value value = nullptr;
  EXPECT_EQ(api().napi_create_int32(nullptr, 1234, &value), napi_ok);
  EXPECT_EQ(value, reinterpret_cast<napi_value>(std::intptr_t{1234}));
  EXPECT_EQ(api().napi_get_undefined(nullptr, &value), napi_generic_failure);  // the host's answer
  napi_valuetype type = napi_null;
  EXPECT_EQ(api().napi_typeof(nullptr, nullptr, &type), napi_ok);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "Node-API symbol napi_typeof has not been loaded\n");
  EXPECT_EQ(type, napi_null);
  reset_table();
}

}  // namespace
}  // namespace tarvix::napi
