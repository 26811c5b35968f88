// Shared by the NDI-layer tests: a fixture that resets the stand-in runtime
// and small readers over its probe.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ndi/runtime.h"
#include "standin_reader.h"

namespace tarvix::ndi::testing {

class StandinTest : public ::testing::Test {
 protected:
  void SetUp() override { tarvix_standin_reset(); }
  void TearDown() override {
    // Every test must give back what it took, or the next one starts dirty.
    EXPECT_EQ(runtime_snapshot().references, 0u);
    EXPECT_EQ(library().misuse, 0u);
    tarvix_standin_reset();
  }

  static tarvix_standin_library_info library() { return tarvix::testing::standin_library(); }
  static tarvix_standin_instance_info instance(uint64_t id) {
    return tarvix::testing::standin_instance(id);
  }

  static std::string instance_name(uint64_t id) {
    std::string name(tarvix_standin_instance_name(id, nullptr, 0), '\0');
    tarvix_standin_instance_name(id, name.data(), name.size());
    return name;
  }

  // The calls logged since the reset, as (call, instance) pairs.
  static std::vector<std::pair<int32_t, uint64_t>> calls() {
    std::vector<std::pair<int32_t, uint64_t>> out;
    tarvix_standin_call_record record{};
    for (uint64_t i = 0; tarvix_standin_call_at(i, &record) != 0; ++i) {
      out.emplace_back(record.call, record.instance);
    }
    return out;
  }

  // Waits (bounded) until `count` threads wait inside NdiRuntime::acquire.
  static bool runtime_waiters_reach(uint64_t count) {
    return tarvix::testing::eventually([&] { return runtime_snapshot().waiting >= count; });
  }
};

}  // namespace tarvix::ndi::testing
