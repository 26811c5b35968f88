// The output's per-frame and per-block costs in steady state: a captured
// frame forwarded whole (read-back from a mapped frame, frame record,
// copy and straight-alpha conversion, send to the stand-in runtime), and one
// audio call of 10 ms of stereo at 48 kHz through the registry to the SDK.
// The read-back maps the frame's own memory, as the X11 backend maps its
// shared-memory image: what is timed is the forwarder. The stand-in's copy of
// every frame (which a real runtime does not make) is timed apart: the
// /standin_copy:0 runs switch it off. Page faults per frame are counted to
// show that a steady capture takes no fresh memory.
// Run with the stand-in runtime on LD_LIBRARY_PATH (scripts/bench does).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "addon/audio_sender_registry.h"
#include "addon/operations.h"
#include "capture/capture_frame.h"
#include "ndi/frame_forwarder.h"
#include "ndi/runtime.h"
#include "ndi/sender.h"
#include "tarvix_standin_probe.h"

namespace {

namespace platform = tarvix::capture::platform;
using tarvix::ndi::NdiRuntime;
using tarvix::ndi::NdiSender;

using Bytes = std::shared_ptr<std::vector<std::uint8_t>>;

// Graphics objects over plain memory. Rows are padded to 256 bytes as a GPU
// staging texture's often are, so the forwarder drops padding as it would.
class MemoryTexture final : public platform::Texture {
 public:
  explicit MemoryTexture(const platform::TextureDesc& desc)
      : desc_(desc),
        pitch_((desc.width * 4 + 255) / 256 * 256),
        bytes_(std::make_shared<std::vector<std::uint8_t>>(std::size_t{pitch_} * desc.height)) {}
  platform::TextureDesc desc() const override { return desc_; }
  std::uint32_t pitch() const { return pitch_; }
  std::vector<std::uint8_t>& bytes() { return *bytes_; }
  const Bytes& shared_bytes() const { return bytes_; }
  void share(Bytes bytes) { bytes_ = std::move(bytes); }

 private:
  platform::TextureDesc desc_;
  std::uint32_t pitch_;
  Bytes bytes_;
};

class MemoryContext final : public platform::DeviceContext {
 public:
  // The staging texture maps the frame's memory itself, as a shared-memory
  // image is mapped rather than copied.
  void copy_resource(platform::Texture& destination, platform::Texture& source) override {
    auto& to = static_cast<MemoryTexture&>(destination);
    to.share(static_cast<MemoryTexture&>(source).shared_bytes());
  }
  platform::PlatformResult<platform::MappedSubresource> map(platform::Texture& texture,
                                                            std::uint32_t, std::uint32_t,
                                                            std::uint32_t) override {
    auto& t = static_cast<MemoryTexture&>(texture);
    return platform::MappedSubresource{t.bytes().data(), t.pitch(),
                                       static_cast<std::uint32_t>(t.bytes().size())};
  }
  void unmap(platform::Texture&, std::uint32_t) override {}
};

// Keeps one staging texture, as a driver recycles staging memory, so the
// numbers show the forwarder rather than the allocator.
class MemoryDevice final : public platform::Device {
 public:
  platform::PlatformResult<std::shared_ptr<platform::Texture>> create_texture_2d(
      const platform::TextureDesc& desc) override {
    if (!staging_ || staging_->desc() != desc) staging_ = std::make_shared<MemoryTexture>(desc);
    return std::shared_ptr<platform::Texture>(staging_);
  }
  platform::PlatformResult<std::shared_ptr<platform::CaptureDevice>> create_capture_device()
      override {
    return std::shared_ptr<platform::CaptureDevice>();
  }

 private:
  std::shared_ptr<MemoryTexture> staging_;
};

// A window-like picture: mostly opaque, some transparent runs, translucent
// edges.
void fill_window(MemoryTexture& texture) {
  std::mt19937 random(11);
  auto& bytes = texture.bytes();
  for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4) {
    const std::uint32_t bits = random();
    const std::uint32_t pick = (i / 64) % 10;
    const std::uint8_t alpha = pick < 7   ? 255
                               : pick < 9 ? 0
                                          : static_cast<std::uint8_t>(bits >> 24);
    for (int c = 0; c < 3; ++c) {
      bytes[i + c] = alpha == 0 ? 0 : static_cast<std::uint8_t>((bits >> (8 * c)) % (alpha + 1u));
    }
    bytes[i + 3] = alpha;
  }
}

struct Output {
  NdiRuntime runtime = NdiRuntime::acquire().value();
  NdiSender sender = NdiSender::create({"bench", std::nullopt, true, false}).value();
};

long minor_faults() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_minflt;
}

void BM_ForwardFrame(benchmark::State& state) {
  const auto width = static_cast<std::uint32_t>(state.range(0));
  const auto height = static_cast<std::uint32_t>(state.range(1));
  tarvix_standin_keep_video_bytes(static_cast<std::int32_t>(state.range(2)));
  Output output;
  tarvix::ndi::NdiFrameForwarder forwarder(output.sender);
  auto device = std::make_shared<MemoryDevice>();
  auto context = std::make_shared<MemoryContext>();
  platform::TextureDesc desc{};
  desc.width = width;
  desc.height = height;
  desc.format = platform::kPixelFormatBgra8;
  auto texture = std::make_shared<MemoryTexture>(desc);
  fill_window(*texture);

  const auto forward = [&] {
    tarvix::capture::CaptureFrame frame(device, context, texture, platform::kPixelFormatBgra8,
                                        std::nullopt);
    tarvix::capture::FrameControl control;
    return forwarder.handle_frame(frame, control).ok();
  };
  // Two frames to reach the steady state: the forwarder's buffer and the
  // stand-in's spare exist from then on.
  forward();
  forward();
  const long faults_before = minor_faults();
  for (auto _ : state) {
    if (!forward()) state.SkipWithError("frame refused");
  }
  const auto frames = static_cast<double>(state.iterations());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * width * height * 4);
  state.counters["fps"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
  state.counters["faults_per_frame"] = static_cast<double>(minor_faults() - faults_before) / frames;
  tarvix_standin_keep_video_bytes(1);
}
BENCHMARK(BM_ForwardFrame)
    ->ArgNames({"w", "h", "standin_copy"})
    ->Args({1920, 1080, 0})
    ->Args({1920, 1080, 1})
    ->Args({3840, 2160, 0})
    ->Args({3840, 2160, 1})
    ->Unit(benchmark::kMillisecond);

void BM_SendAudioBlock(benchmark::State& state) {
  Output output;
  tarvix::addon::AudioSenderRegistry::instance().insert("bench", output.sender);
  std::vector<float> tone(480 * 2);
  for (std::size_t i = 0; i < tone.size(); ++i)
    tone[i] = static_cast<float>(i % 97) / 97.0f;
  const auto bytes = std::as_bytes(std::span(tone));

  for (auto _ : state) {
    auto sent = tarvix::addon::ndi_output_send_audio("bench", bytes, 48000, 2);
    if (!sent.ok()) state.SkipWithError("block refused");
  }
  tarvix::addon::AudioSenderRegistry::instance().remove("bench");
}
BENCHMARK(BM_SendAudioBlock)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
