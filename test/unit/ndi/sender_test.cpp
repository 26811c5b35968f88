#include "ndi/sender.h"

#include <cstring>
#include <thread>

#include "standin_fixture.h"

namespace tarvix::ndi::testing {
namespace {

using Pair = std::pair<int32_t, uint64_t>;

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

  static NdiError refusal(const SenderOptions& options) {
    auto created = NdiSender::create(options);
    EXPECT_FALSE(created.ok());
    EXPECT_EQ(library().live_instances, 0u);
    EXPECT_EQ(runtime_snapshot().references, 1u);  // none taken by the failure
    return created.ok() ? NdiError() : std::move(created).error();
  }

  std::optional<NdiRuntime> runtime_;
};

// Refused before the SDK sees anything: blank names (the last holds every
// White_Space code point, so a gap in the table shows), then both clocks
// off, then zero bytes in the name or groups.
TEST_F(SenderTest, RefusalsComeBeforeTheSdkInOrder) {
  const std::string blank =
      "InvalidConfiguration(\"Sender name cannot be empty or contain only whitespace\")";
  const std::pair<SenderOptions, std::string> cases[] = {
      {named(""), blank},
      {named("   "), blank},
      {named("\t\n\v\f\r \u0085\u00a0\u1680\u2000\u2001\u2002\u2003\u2004\u2005\u2006"
             "\u2007\u2008\u2009\u200a\u2028\u2029\u202f\u205f\u3000"),
       blank},
      {{"", std::nullopt, false, false}, blank},
      {{"Valid", std::nullopt, false, false},
       "InvalidConfiguration(\"At least one of clock_video or clock_audio must be true\")"},
      {named(std::string("abc\0d", 5)), "InvalidCString(NulError(3, [97, 98, 99, 0, 100]))"},
      {{"ok", std::string("g\0", 2), true, false}, "InvalidCString(NulError(1, [103, 0]))"},
  };
  for (const auto& [options, debug] : cases)
    EXPECT_EQ(refusal(options).debug(), debug) << options.name;
  EXPECT_EQ(refusal(named(std::string("abc\0d", 5))).display(),
            "Invalid CString: nul byte found in provided data at position: 3");
  EXPECT_EQ(library().instances_created, 0u);
}

TEST_F(SenderTest, NameAndOptionsReachTheSdkAsGiven) {
  auto sender = NdiSender::create({" word ", "public,private", false, true});
  ASSERT_TRUE(sender.ok());
  const uint64_t id = tarvix_standin_instance_id(sender->handle());
  EXPECT_EQ(instance_name(id), " word ");
  const auto info = instance(id);
  EXPECT_EQ(info.clock_video, 0);
  EXPECT_EQ(info.clock_audio, 1);
  std::string groups(32, '\0');
  groups.resize(tarvix_standin_instance_groups(id, groups.data(), groups.size()));
  EXPECT_EQ(groups, "public,private");

  // A zero-width space is not White_Space, so it makes a name.
  auto plain = NdiSender::create(named("\u200b"));
  ASSERT_TRUE(plain.ok());
  EXPECT_EQ(instance(tarvix_standin_instance_id(plain->handle())).has_groups, 0);
}

TEST_F(SenderTest, FailedSdkCreateLeavesNothing) {
  tarvix_standin_fail_next_send_create(1);
  const NdiError error = refusal(named("Studio"));
  EXPECT_EQ(error.display(),
            "Failed to initialize the NDI runtime: Failed to create NDI send instance");
  EXPECT_EQ(error.kind(), NdiErrorKind::InitializationFailed);
}

TEST_F(SenderTest, LastHandleFlushesThenDestroysThenReleases) {
  std::optional<Result<NdiSender, NdiError>> sender(NdiSender::create(named("Studio")));
  ASSERT_TRUE(sender->ok());
  EXPECT_EQ(runtime_snapshot().references, 2u);
  // The sender holds its own reference: the caller's may go first.
  runtime_.reset();
  EXPECT_TRUE(library().initialized);
  const uint64_t id = tarvix_standin_instance_id((*sender)->handle());
  std::optional<NdiSender> copy(sender->value());
  sender.reset();
  EXPECT_FALSE(instance(id).destroyed);  // the copy keeps it alive
  copy.reset();

  const auto info = instance(id);
  EXPECT_TRUE(info.destroyed);
  EXPECT_TRUE(info.flushed_before_destroy);
  EXPECT_EQ(runtime_snapshot().references, 0u);
  EXPECT_FALSE(library().initialized);
  EXPECT_EQ((calls()), (std::vector<Pair>{{TARVIX_CALL_INITIALIZE, 0},
                                          {TARVIX_CALL_SEND_CREATE, id},
                                          {TARVIX_CALL_FLUSH, id},
                                          {TARVIX_CALL_SEND_DESTROY, id},
                                          {TARVIX_CALL_DESTROY, 0}}));
}

TEST_F(SenderTest, AudioDescriptorIsPlanarFloat) {
  auto sender = NdiSender::create(named("Studio"));
  ASSERT_TRUE(sender.ok());
  auto frame = AudioFrameBuilder()
                   .sample_rate(48000)
                   .channels(2)
                   .samples_per_channel(3)
                   .timecode(INT64_MAX)
                   .data({1, 2, 3, 10, 20, 30})
                   .build();
  ASSERT_TRUE(frame.ok());
  sender->send_audio(*frame);

  const uint64_t id = tarvix_standin_instance_id(sender->handle());
  tarvix_standin_audio_info a{};
  ASSERT_EQ(tarvix_standin_audio_block(id, 0, &a), 1);
  EXPECT_EQ(a.sample_rate, 48000);
  EXPECT_EQ(a.no_channels, 2);
  EXPECT_EQ(a.no_samples, 3);
  EXPECT_EQ(a.timecode, INT64_MAX);
  EXPECT_EQ(a.fourcc, 0x70544C46);
  EXPECT_EQ(a.channel_stride_in_bytes, 12);
  EXPECT_EQ(a.has_metadata, 0);
  EXPECT_EQ(a.timestamp, 0);
  EXPECT_EQ(a.first_samples[0], 1.0f);
  EXPECT_EQ(a.first_samples[1], 10.0f);
  EXPECT_EQ(instance(id).samples_per_channel, 3u);
}

TEST_F(SenderTest, HandlesOnTwoThreadsSendAtOnceAndEitherMayGoLast) {
  auto created = NdiSender::create(named("Shared"));
  ASSERT_TRUE(created.ok());
  const uint64_t id = tarvix_standin_instance_id(created->handle());
  std::thread video([sender = created.value()] {
    for (int k = 0; k < 50; ++k) {
      auto frame = VideoFrame::build_bgra(16, 9);
      ASSERT_TRUE(frame.ok());
      sender.send_video(*frame);
    }
  });
  std::thread audio([sender = std::move(created).value()] {
    for (int k = 0; k < 50; ++k) {
      auto frame = AudioFrameBuilder()
                       .sample_rate(48000)
                       .channels(2)
                       .samples_per_channel(4)
                       .data(std::vector<float>(8))
                       .build();
      ASSERT_TRUE(frame.ok());
      sender.send_audio(*frame);
    }
  });
  video.join();
  audio.join();

  const auto info = instance(id);
  EXPECT_EQ(info.video_frames, 50u);
  EXPECT_EQ(info.audio_blocks, 50u);
  EXPECT_TRUE(info.destroyed);
  EXPECT_TRUE(info.flushed_before_destroy);
}

}  // namespace
}  // namespace tarvix::ndi::testing
