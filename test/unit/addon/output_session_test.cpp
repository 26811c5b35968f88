// Outputs started and stopped on the fake capture backend, published through
// the stand-in runtime; audio through the same registries.
#include "addon/output_session.h"

#include <gtest/gtest.h>

#include <vector>

#include "addon/audio_input.h"
#include "fakes/fake_platform.h"
#include "standin_reader.h"

namespace tarvix::addon {
namespace {

using capture::fakes::FakePlatform;
using capture::fakes::FakeWindow;
namespace platform = capture::platform;

constexpr platform::WindowHandle kWindow = 0x0102030405060708;

std::vector<std::byte> handle_bytes(platform::WindowHandle window, std::size_t length = 8) {
  std::vector<std::byte> bytes(length, std::byte{0xAB});
  for (std::size_t i = 0; i < 8 && i < length; ++i) {
    bytes[i] = static_cast<std::byte>(window >> (8 * i));
  }
  return bytes;
}

using tarvix::testing::eventually;

std::span<const std::byte> floats_as_bytes(const std::vector<float>& floats) {
  return std::as_bytes(std::span(floats));
}

class OutputSessionTest : public ::testing::Test {
 protected:
  // No stand-in reset here: it would forget that the library is kept
  // initialised by an earlier start. Instances are counted from the first
  // one this test creates.
  void SetUp() override {
    fake_.add_window(kWindow, FakeWindow{{16, 8}, {0, 0, 16, 8}, {0, 0, 16, 8}, 96});
  }
  // Captures must end while the fake platform they run on still exists.
  void TearDown() override {
    for (const char* id : {"a", "b"})
      (void)stop_output(id);
    EXPECT_EQ(tarvix::testing::standin_library().misuse, misuse_before_);
  }

  // The n-th instance created by this test, from 1.
  tarvix_standin_instance_info instance(uint64_t n) const {
    return tarvix::testing::standin_instance(instances_before_ + n);
  }
  uint64_t instances_created() const {
    return tarvix::testing::standin_library().instances_created - instances_before_;
  }

  OperationResult start(const std::string& id, const std::string& name,
                        std::vector<std::byte> bytes = handle_bytes(kWindow)) {
    return start_output(fake_, bytes, id, name);
  }

  FakePlatform fake_;
  const uint64_t instances_before_ = tarvix::testing::standin_library().instances_created;
  const uint64_t misuse_before_ = tarvix::testing::standin_library().misuse;
};

TEST_F(OutputSessionTest, RunsAnOutputFromStartToStop) {
  ASSERT_TRUE(start("a", "one", handle_bytes(kWindow, 16)).ok());
  ASSERT_EQ(instances_created(), 1u);
  // A second start for a running id changes nothing, whatever its arguments.
  EXPECT_TRUE(start("a", "", handle_bytes(kWindow, 3)).ok());
  EXPECT_EQ(instances_created(), 1u);

  ASSERT_TRUE(fake_.push_frame(kWindow));
  ASSERT_TRUE(eventually([&] { return instance(1).video_frames == 1; }));
  const std::vector<float> block(96, 0.25f);
  ASSERT_TRUE(send_audio_block("a", floats_as_bytes(block), 48000, 2).ok());
  EXPECT_EQ(instance(1).audio_blocks, 1u);

  ASSERT_TRUE(stop_output("a").ok());
  EXPECT_TRUE(instance(1).destroyed);
  EXPECT_TRUE(instance(1).flushed_before_destroy);
  // Once stopped, the id is unknown again: audio and stop are quiet.
  EXPECT_TRUE(send_audio_block("a", floats_as_bytes(block), 48000, 2).ok());
  EXPECT_EQ(instance(1).audio_blocks, 1u);
  EXPECT_TRUE(stop_output("a").ok());
}

TEST_F(OutputSessionTest, HandlerFailureEndsTheCaptureAndStopReportsIt) {
  fake_.add_window(kWindow + 1, FakeWindow{{5121, 5120}, {0, 0, 5121, 5120}, {0, 0, 5121, 5120}});
  ASSERT_TRUE(start("b", "big", handle_bytes(kWindow + 1)).ok());
  ASSERT_TRUE(fake_.push_frame(kWindow + 1));
  // Once the frame is taken the handler runs; the stop below must not halt
  // the capture before that.
  ASSERT_TRUE(eventually([&] { return fake_.frames_waiting(kWindow + 1) == 0; }));

  const auto stopped = stop_output("b");
  ASSERT_FALSE(stopped.ok());
  EXPECT_EQ(stopped.error(),
            "Windows capture error: Frame handler error: Invalid frame data: Video frame exceeds "
            "maximum size: 104878080 bytes > 104857600 bytes");
  EXPECT_TRUE(instance(1).destroyed);
  EXPECT_TRUE(stop_output("b").ok());
  EXPECT_TRUE(start("b", "small").ok()) << "a failed stop must free the id";
}

}  // namespace
}  // namespace tarvix::addon
