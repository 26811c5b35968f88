// The pacer's timing, on a clock of the test's own: nothing that captures
// real windows sees it.
#include "capture/platform/x11/frame_pacer.h"

#include <gtest/gtest.h>

namespace tarvix::capture::platform::x11 {
namespace {

using namespace std::chrono_literals;
const FramePacer::Clock::time_point t0{};

// Raises the first frame at t0 and hands it over and back.
void first_frame(FramePacer& pacer) {
  ASSERT_TRUE(pacer.try_raise(t0));
  ASSERT_TRUE(pacer.take());
  pacer.release();
}

TEST(FramePacer, RaisesAfterAChangeOnlyAndNeverWhileAFrameWaitsOrIsHeld) {
  FramePacer pacer;
  first_frame(pacer);
  EXPECT_FALSE(pacer.try_raise(t0 + 1s));
  pacer.content_changed();
  ASSERT_TRUE(pacer.try_raise(t0 + 1s));
  pacer.content_changed();
  EXPECT_FALSE(pacer.try_raise(t0 + 2s));  // still waiting in the pool
  ASSERT_TRUE(pacer.take());
  EXPECT_FALSE(pacer.take());  // one frame, taken once
  pacer.content_changed();
  EXPECT_FALSE(pacer.try_raise(t0 + 3s));  // being handled
  pacer.release();
  EXPECT_TRUE(pacer.try_raise(t0 + 3s));
}

TEST(FramePacer, ChangesAreRaisedNoFasterThanTheIntervalNorBeforeARetry) {
  FramePacer pacer;
  first_frame(pacer);
  pacer.content_changed();
  EXPECT_FALSE(pacer.try_raise(t0 + 16ms));
  ASSERT_TRUE(pacer.try_raise(t0 + 17ms));
  ASSERT_TRUE(pacer.take());
  pacer.release();
  pacer.set_interval(500ms);
  pacer.content_changed();
  EXPECT_FALSE(pacer.try_raise(t0 + 516ms));
  ASSERT_TRUE(pacer.try_raise(t0 + 517ms));
  ASSERT_TRUE(pacer.take());
  pacer.release();
  pacer.retry_at(t0 + 2s);  // a retry is due by itself
  EXPECT_FALSE(pacer.try_raise(t0 + 1900ms));
  EXPECT_TRUE(pacer.try_raise(t0 + 2s));
}

}  // namespace
}  // namespace tarvix::capture::platform::x11
