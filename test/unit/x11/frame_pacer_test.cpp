#include "capture/platform/x11/frame_pacer.h"

#include <gtest/gtest.h>

namespace tarvix::capture::platform::x11 {
namespace {

using namespace std::chrono_literals;
using Clock = FramePacer::Clock;

TEST(FramePacer, FirstFrameIsDueAtOnceThenOnlyAfterAChange) {
  FramePacer pacer;
  const Clock::time_point t0{};
  EXPECT_TRUE(pacer.try_raise(t0));
  ASSERT_TRUE(pacer.take());
  pacer.release();
  EXPECT_FALSE(pacer.next_raise());
  EXPECT_FALSE(pacer.try_raise(t0 + 1s));
  pacer.content_changed();
  EXPECT_TRUE(pacer.try_raise(t0 + 1s));
}

TEST(FramePacer, NothingIsRaisedWhileAFrameWaitsOrIsHeld) {
  FramePacer pacer;
  const Clock::time_point t0{};
  ASSERT_TRUE(pacer.try_raise(t0));
  pacer.content_changed();
  EXPECT_FALSE(pacer.try_raise(t0 + 1s));  // still waiting in the pool
  ASSERT_TRUE(pacer.take());
  EXPECT_FALSE(pacer.take());  // one frame, taken once
  pacer.content_changed();
  EXPECT_FALSE(pacer.try_raise(t0 + 2s));  // being handled
  pacer.release();
  EXPECT_TRUE(pacer.try_raise(t0 + 2s));
}

TEST(FramePacer, ChangesAreRaisedNoFasterThanTheInterval) {
  FramePacer pacer;
  const Clock::time_point t0{};
  ASSERT_TRUE(pacer.try_raise(t0));
  ASSERT_TRUE(pacer.take());
  pacer.release();
  pacer.content_changed();
  EXPECT_EQ(pacer.next_raise(), t0 + FramePacer::kDefaultInterval);
  EXPECT_FALSE(pacer.try_raise(t0 + 10ms));
  EXPECT_TRUE(pacer.try_raise(t0 + 17ms));

  pacer.set_interval(500ms);
  ASSERT_TRUE(pacer.take());
  pacer.release();
  pacer.content_changed();
  EXPECT_FALSE(pacer.try_raise(t0 + 400ms));
  EXPECT_TRUE(pacer.try_raise(t0 + 517ms));
}

TEST(FramePacer, PausedKeepsTheChangeAndStoppedEndsEverything) {
  FramePacer pacer;
  const Clock::time_point t0{};
  pacer.set_paused(true);
  EXPECT_FALSE(pacer.try_raise(t0));
  pacer.set_paused(false);
  EXPECT_TRUE(pacer.try_raise(t0));
  pacer.raise_failed();
  pacer.stop();
  pacer.content_changed();
  EXPECT_FALSE(pacer.next_raise());
  EXPECT_FALSE(pacer.take());
}

TEST(FramePacer, AFrameThatCouldNotBeTakenIsRetriedLater) {
  FramePacer pacer;
  const Clock::time_point t0{};
  ASSERT_TRUE(pacer.try_raise(t0));
  ASSERT_TRUE(pacer.take());
  pacer.release();
  pacer.retry_at(t0 + 100ms);
  EXPECT_FALSE(pacer.try_raise(t0 + 50ms));
  EXPECT_TRUE(pacer.try_raise(t0 + 100ms));
}

}  // namespace
}  // namespace tarvix::capture::platform::x11
