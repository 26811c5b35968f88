#include "napi/registration.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

namespace tarvix::napi {
namespace {

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

}  // namespace
}  // namespace tarvix::napi
