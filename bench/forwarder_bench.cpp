// The output's per-frame and per-block costs in steady state: a captured
// frame forwarded whole (read-back from a mapped frame, frame record,
// copy and straight-alpha conversion, send to the stand-in runtime), and one
// audio call of 10 ms of stereo at 48 kHz through the registry to the SDK.
// Run with the stand-in runtime on LD_LIBRARY_PATH (scripts/bench does).
#include <benchmark/benchmark.h>

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

namespace {

namespace platform = tarvix::capture::platform;
using tarvix::ndi::NdiRuntime;
using tarvix::ndi::NdiSender;

// Graphics objects over plain memory. Rows are padded to 256 bytes as a GPU
// staging texture's often are, so the forwarder drops padding as it would.
class MemoryTexture final : public platform::Texture {
 public:
  explicit MemoryTexture(const platform::TextureDesc& desc)
      : desc_(desc),
        pitch_((desc.width * 4 + 255) / 256 * 256),
        bytes_(std::size_t{pitch_} * desc.height) {}
  platform::TextureDesc desc() const override { return desc_; }
  std::uint32_t pitch() const { return pitch_; }
  std::vector<std::uint8_t>& bytes() { return bytes_; }

 private:
  platform::TextureDesc desc_;
  std::uint32_t pitch_;
  std::vector<std::uint8_t> bytes_;
};

class MemoryContext final : public platform::DeviceContext {
 public:
  void copy_resource(platform::Texture& destination, platform::Texture& source) override {
    auto& to = static_cast<MemoryTexture&>(destination);
    auto& from = static_cast<MemoryTexture&>(source);
    std::memcpy(to.bytes().data(), from.bytes().data(), to.bytes().size());
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

void BM_ForwardFrame(benchmark::State& state) {
  const auto width = static_cast<std::uint32_t>(state.range(0));
  const auto height = static_cast<std::uint32_t>(state.range(1));
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

  for (auto _ : state) {
    tarvix::capture::CaptureFrame frame(device, context, texture, platform::kPixelFormatBgra8,
                                        std::nullopt);
    tarvix::capture::FrameControl control;
    if (!forwarder.handle_frame(frame, control).ok()) state.SkipWithError("frame refused");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * width * height * 4);
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ForwardFrame)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);

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
