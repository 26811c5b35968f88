// Shared by the NDI-layer tests: a fixture that resets the stand-in runtime
// and expects every runtime reference back, and readers over its probe.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "ndi/runtime.h"
#include "standin_reader.h"

namespace tarvix::ndi::testing {

using tarvix::testing::standin_instance;
using tarvix::testing::standin_library;

// An SDK call the stand-in logged, and the instance it was for (0: none).
using Call = std::pair<int32_t, uint64_t>;

class StandinTest : public ::testing::Test {
 protected:
  void SetUp() override { tarvix_standin_reset(); }
  void TearDown() override {
    EXPECT_EQ(runtime_snapshot().references, 0u);
    EXPECT_EQ(standin_library().misuse, 0u);
    tarvix_standin_reset();
  }

  // The calls logged since the reset.
  static std::vector<Call> calls() {
    std::vector<Call> out;
    tarvix_standin_call_record record{};
    for (uint64_t i = 0; tarvix_standin_call_at(i, &record) != 0; ++i)
      out.emplace_back(record.call, record.instance);
    return out;
  }
};

}  // namespace tarvix::ndi::testing
