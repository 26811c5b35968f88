// Outputs on the fake capture backend, where a start can be held still while
// a stop of the same id comes in. (The script suites run outputs over real
// windows.)
#include "addon/output_session.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "addon/audio_sender_registry.h"

#include "fakes/fake_platform.h"

namespace tarvix::addon {
namespace {

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
