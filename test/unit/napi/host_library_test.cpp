#include "napi/host_library.h"

#include <gtest/gtest.h>

namespace tarvix::napi {
namespace {

using Mode = HostCandidate::Mode;

TEST(HostLibraryTest, AcceptsTheFirstCandidateThatExportsCreateInt32) {
  // The test program itself provides no Node-API, and libm exports other
  // things only: both are passed over.
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

TEST(HostLibraryTest, NoAcceptedCandidateGivesTheLoaderErrorOfEach) {
  const HostCandidate candidates[] = {
      {Mode::MainProgram, nullptr},
      {Mode::AlreadyLoaded, "libtarvix-never-loaded.so"},
      {Mode::LoadByName, "/nonexistent/libnode.so"},
  };
  auto host = open_host(candidates);
  ASSERT_FALSE(host.ok());
  const std::string& error = host.error();
  EXPECT_NE(error.find("main program: "), std::string::npos) << error;
  EXPECT_NE(error.find("napi_create_int32"), std::string::npos) << error;
  EXPECT_NE(error.find("libtarvix-never-loaded.so (if loaded): "), std::string::npos) << error;
  EXPECT_NE(error.find("/nonexistent/libnode.so: "), std::string::npos) << error;
  EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
}

}  // namespace
}  // namespace tarvix::napi
