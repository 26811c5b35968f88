// Outputs on the fake capture backend, where a start can be held still while
// a stop of the same id comes in, and a frame too large to send can be made.
// (The script suites run outputs over real windows.)
#include "addon/output_session.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "addon/audio_sender_registry.h"

#include "fakes/fake_platform.h"

namespace tarvix::addon {
namespace {

using capture::fakes::FakeWindow;

// A frame the forwarder refuses ends the capture; its stop reports why, once,
// and leaves neither entry, so the id can be started again.
TEST(OutputSessionTest, AFrameThatCannotBeSentEndsTheCaptureAndItsStopSaysWhy) {
  capture::fakes::FakePlatform fake;
  fake.add_window(1, FakeWindow{{5121, 5120}, {0, 0, 5121, 5120}, {0, 0, 5121, 5120}});
  fake.add_window(2);
  const std::vector<std::byte> big{std::byte{1}, {}, {}, {}, {}, {}, {}, {}};
  const std::vector<std::byte> small{std::byte{2}, {}, {}, {}, {}, {}, {}, {}};
  // Should an assertion return early, the capture still ends before the fake.
  struct StopAtEnd {
    ~StopAtEnd() { (void)stop_output("b"); }
  } stop_at_end;
  ASSERT_TRUE(start_output(fake, big, "b", "big").ok());
  ASSERT_TRUE(fake.push_frame(1));
  ASSERT_TRUE(fake.wait_until([&] { return fake.count("pool.close") == 1; }));
  EXPECT_TRUE(AudioSenderRegistry::instance().find("b")) << "kept until the stop";

  const auto stopped = stop_output("b");
  ASSERT_FALSE(stopped.ok());
  EXPECT_EQ(stopped.error(),
            "Windows capture error: Frame handler error: Invalid frame data: Video frame exceeds "
            "maximum size: 104878080 bytes > 104857600 bytes");
  EXPECT_FALSE(AudioSenderRegistry::instance().find("b"));
  EXPECT_EQ(fake.count("context.copy_resource"), 0) << "a refused frame was read";
  EXPECT_TRUE(stop_output("b").ok());
  ASSERT_TRUE(start_output(fake, small, "b", "small").ok());
  EXPECT_TRUE(stop_output("b").ok());
}

// A stop for an id whose start is under way waits for that start, then
// removes both of its entries: an audio entry never outlives its capture.
TEST(OutputSessionTest, AStopRacingAStartOfTheSameIdLeavesNeitherEntry) {
  capture::fakes::FakePlatform fake;
  fake.add_window(1);
  fake.hold("create_device");
  const std::vector<std::byte> handle{std::byte{1}, {}, {}, {}, {}, {}, {}, {}};
  std::thread starter([&] { EXPECT_TRUE(start_output(fake, handle, "r", "race").ok()); });
  ASSERT_TRUE(fake.wait_until([&] { return fake.waiting_at("create_device") == 1; }));
  std::thread stopper([] { EXPECT_TRUE(stop_output("r").ok()); });
  // Time for the stop to reach the registries; not a duration under test.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  fake.open("create_device");
  starter.join();
  stopper.join();
  EXPECT_FALSE(AudioSenderRegistry::instance().find("r"));
  EXPECT_TRUE(stop_output("r").ok());
}

}  // namespace
}  // namespace tarvix::addon
