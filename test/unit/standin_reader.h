// Small readers over the stand-in runtime's probe. The addon tests use them
// bare: their process keeps the NDI library initialised once an output has
// started, so they cannot use the NDI layer's fixture (ndi/standin_fixture.h),
// which expects every runtime reference back.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "tarvix_standin_probe.h"

namespace tarvix::testing {

inline tarvix_standin_instance_info standin_instance(uint64_t id) {
  tarvix_standin_instance_info info{};
  EXPECT_EQ(tarvix_standin_instance(id, &info), 1) << "no instance " << id;
  return info;
}

inline tarvix_standin_library_info standin_library() {
  tarvix_standin_library_info info{};
  tarvix_standin_library(&info);
  return info;
}

inline std::vector<uint8_t> standin_last_video(uint64_t id) {
  std::vector<uint8_t> out(tarvix_standin_last_video_data(id, nullptr, 0));
  tarvix_standin_last_video_data(id, out.data(), out.size());
  return out;
}

// Bounded wait for something another thread does; not a timing assertion.
inline bool eventually(const std::function<bool()>& ready) {
  for (int i = 0; i < 10000; ++i) {
    if (ready()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return ready();
}

}  // namespace tarvix::testing
