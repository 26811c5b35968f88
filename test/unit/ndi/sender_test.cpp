#include "ndi/sender.h"

#include <thread>
#include <tuple>

#include "standin_fixture.h"

namespace tarvix::ndi::testing {
namespace {

// Holds the caller's runtime reference, as the output start does.
class SenderTest : public StandinTest {
 protected:
  void SetUp() override {
    StandinTest::SetUp();
    auto acquired = NdiRuntime::acquire();
    ASSERT_TRUE(acquired.ok());
    runtime_.emplace(std::move(acquired).value());
  }
  void TearDown() override {
    runtime_.reset();
    StandinTest::TearDown();
  }

  static SenderOptions named(std::string name) {
    return {std::move(name), std::nullopt, true, false};
  }

  static std::string text(size_t (*read)(uint64_t, char*, size_t), uint64_t id) {
    std::string out(read(id, nullptr, 0), '\0');
    read(id, out.data(), out.size());
    return out;
  }

  std::optional<NdiRuntime> runtime_;
};

// Refused before the SDK sees anything: blank names (the third holds every
// White_Space code point, so a gap in the table shows), then both clocks
// off, then zero bytes in the name or groups.
TEST_F(SenderTest, RefusalsComeBeforeTheSdkInOrder) {
  const std::string blank =
      "InvalidConfiguration(\"Sender name cannot be empty or contain only whitespace\")";
  const std::pair<SenderOptions, std::string> cases[] = {
      {named(""), blank},
      {named("\t\n\v\f\r \u0085\u00a0\u1680\u2000\u2001\u2002\u2003\u2004\u2005\u2006"
             "\u2007\u2008\u2009\u200a\u2028\u2029\u202f\u205f\u3000"),
       blank},
      {{"", std::nullopt, false, false}, blank},
      {{"Valid", std::nullopt, false, false},
       "InvalidConfiguration(\"At least one of clock_video or clock_audio must be true\")"},
      {named(std::string("abc\0d", 5)), "InvalidCString(NulError(3, [97, 98, 99, 0, 100]))"},
      {{"ok", std::string("g\0", 2), true, false}, "InvalidCString(NulError(1, [103, 0]))"},
  };
  for (const auto& [options, debug] : cases) {
    auto created = NdiSender::create(options);
    ASSERT_FALSE(created.ok()) << options.name;
    EXPECT_EQ(created.error().debug(), debug) << options.name;
  }
  EXPECT_EQ(standin_library().instances_created, 0u);
  EXPECT_EQ(runtime_snapshot().references, 1u);
}

// A zero-width space is not White_Space, nor is a byte that is not UTF-8.
TEST_F(SenderTest, NamesAndOptionsReachTheSdkAsGiven) {
  const SenderOptions cases[] = {{" word ", "public,private", false, true},
                                 {"\u200b", std::nullopt, true, false},
                                 {" \xe3\x80 ", "", true, true},
                                 {"\xff", std::nullopt, true, false}};
  for (const SenderOptions& options : cases) {
    auto sender = NdiSender::create(options);
    ASSERT_TRUE(sender.ok()) << options.name;
    const uint64_t id = tarvix_standin_instance_id(sender->handle());
    const auto info = standin_instance(id);
    EXPECT_EQ(std::tuple(text(tarvix_standin_instance_name, id), info.clock_video, info.clock_audio,
                         info.has_groups),
              std::tuple(options.name, options.clock_video, options.clock_audio,
                         options.groups.has_value()));
    EXPECT_EQ(text(tarvix_standin_instance_groups, id), options.groups.value_or(""));
  }
}

// Copies of one sender send from two threads at once, and either may go last:
// the last flushes, destroys, then gives back the sender's own runtime
// reference, which outlives the caller's (the stand-in counts a destroy of
// the library with senders alive as misuse). Audio goes out as planar float,
// with the timecode left for the SDK to fill in.
TEST_F(SenderTest, CopiesSendAtOnceAndTheLastFlushesDestroysReleases) {
  auto created = NdiSender::create(named("Shared"));
  auto picture = VideoFrame::build_bgra(16, 9);
  auto block = AudioFrameBuilder()
                   .sample_rate(48000)
                   .channels(2)
                   .samples_per_channel(3)
                   .data({1, 2, 3, 10, 20, 30})
                   .build();
  ASSERT_TRUE(created.ok() && picture.ok() && block.ok());
  const uint64_t id = tarvix_standin_instance_id(created->handle());
  runtime_.reset();
  std::thread video([&, sender = created.value()] {
    for (int k = 0; k < 50; ++k)
      sender.send_video(*picture);
  });
  std::thread audio([&, sender = std::move(created).value()] {
    for (int k = 0; k < 50; ++k)
      sender.send_audio(*block);
  });
  video.join();
  audio.join();

  const auto info = standin_instance(id);
  EXPECT_EQ(std::tuple(info.video_frames, info.audio_blocks, info.flushed_before_destroy),
            std::tuple(50u, 50u, 1));
  tarvix_standin_audio_info a{};
  ASSERT_EQ(tarvix_standin_audio_block(id, 49, &a), 1);
  EXPECT_EQ(std::tuple(a.sample_rate, a.no_channels, a.no_samples, a.timecode, a.fourcc,
                       a.channel_stride_in_bytes, a.first_samples[1], a.has_metadata, a.timestamp),
            std::tuple(48000, 2, 3, INT64_MAX, 0x70544C46, 12, 10.0f, 0, int64_t{0}));
  EXPECT_FALSE(standin_library().initialized);
}

}  // namespace
}  // namespace tarvix::ndi::testing
