// An output whose capture ends on a refused frame, on the fake capture
// backend: the script suites run outputs over real windows, where the
// moment of the refusal cannot be held still.
#include "addon/output_session.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "addon/audio_sender_registry.h"

#include "fakes/fake_platform.h"
#include "standin_reader.h"

namespace tarvix::addon {
namespace {

using capture::fakes::FakeWindow;
using tarvix::testing::eventually;
using tarvix::testing::standin_library;

std::vector<std::byte> handle_bytes(capture::platform::WindowHandle window) {
  std::vector<std::byte> bytes(8);
  for (std::size_t i = 0; i < 8; ++i)
    bytes[i] = static_cast<std::byte>(window >> (8 * i));
  return bytes;
}

TEST(OutputSessionTest, HandlerFailureEndsTheCaptureAndStopReportsIt) {
  // No stand-in reset: it would forget that an earlier start keeps the
  // library initialised.
  const uint64_t first = standin_library().instances_created + 1;
  const uint64_t misuse = standin_library().misuse;
  capture::fakes::FakePlatform fake;
  fake.add_window(1, FakeWindow{{5121, 5120}, {0, 0, 5121, 5120}, {0, 0, 5121, 5120}});
  fake.add_window(2, FakeWindow{{16, 8}, {0, 0, 16, 8}, {0, 0, 16, 8}});
  // The capture must end while the fake platform it runs on still exists.
  struct StopAtEnd {
    ~StopAtEnd() { (void)stop_output("b"); }
  } stop_at_end;
  ASSERT_TRUE(start_output(fake, handle_bytes(1), "b", "big").ok());
  ASSERT_TRUE(fake.push_frame(1));
  // Once the frame is taken the handler runs; the stop below must not halt
  // the capture before that.
  ASSERT_TRUE(eventually([&] { return fake.frames_waiting(1) == 0; }));

  const auto stopped = stop_output("b");
  ASSERT_FALSE(stopped.ok());
  EXPECT_EQ(stopped.error(),
            "Windows capture error: Frame handler error: Invalid frame data: Video frame exceeds "
            "maximum size: 104878080 bytes > 104857600 bytes");
  EXPECT_TRUE(tarvix::testing::standin_instance(first).destroyed);
  EXPECT_EQ(fake.count("context.copy_resource"), 0) << "a refused frame was read";
  EXPECT_TRUE(stop_output("b").ok());
  EXPECT_TRUE(start_output(fake, handle_bytes(2), "b", "small").ok())
      << "a failed stop must free the id";
  EXPECT_TRUE(stop_output("b").ok());
  EXPECT_EQ(standin_library().misuse, misuse);
}

// A stop for an id whose start is under way waits for that start, then
// removes both of its entries: an audio entry never outlives its capture.
TEST(OutputSessionTest, AStopRacingAStartOfTheSameIdLeavesNeitherEntry) {
  capture::fakes::FakePlatform fake;
  fake.add_window(1);
  fake.hold("create_device");
  std::thread starter([&] { EXPECT_TRUE(start_output(fake, handle_bytes(1), "r", "race").ok()); });
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
