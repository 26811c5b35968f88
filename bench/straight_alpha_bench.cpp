// Straight-alpha copy of whole frames against a plain copy of the same rows.
// Each run rotates among frames whose total size is well above the last-level
// cache, so every frame comes from memory as a captured frame would. The plain
// copy of another frame is timed in the same iterations, so the ratio counter
// (x_memcpy) compares the two under the same machine load.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "ndi/straight_alpha.h"

namespace {

using tarvix::ndi::StraightAlphaKernel;

enum class Content { Random, Opaque, Mixed };

struct Case {
  std::size_t width;
  std::uint32_t height;
  std::size_t pitch_padding;
  Content content;
};

constexpr std::size_t kBytesPerSide = 96u << 20;
constexpr std::size_t kMinFrames = 6;

void fill_pixels(std::uint8_t* frame, std::size_t size, Content content) {
  std::mt19937 random(7);
  std::uint32_t run_kind = 0;
  for (std::size_t i = 0; i < size; i += 4) {
    // Mixed content looks like a window: runs of opaque and transparent
    // pixels with some translucent edges between them.
    if (i % 64 == 0) {
      const std::uint32_t pick = random() % 10;
      run_kind = pick < 7 ? 1 : pick < 9 ? 0 : 2;
    }
    const std::uint32_t bits = random();
    std::uint8_t alpha = static_cast<std::uint8_t>(bits >> 24);
    if (content == Content::Opaque || (content == Content::Mixed && run_kind == 1)) alpha = 255;
    if (content == Content::Mixed && run_kind == 0) alpha = 0;
    for (int c = 0; c < 3; ++c) {
      const auto colour = static_cast<std::uint8_t>(bits >> (8 * c));
      frame[i + c] = alpha == 0 ? 0 : static_cast<std::uint8_t>(colour % (alpha + 1));
    }
    frame[i + 3] = alpha;
  }
}

class FrameSet {
 public:
  explicit FrameSet(const Case& c)
      : stride_(4 * c.width),
        pitch_(stride_ + c.pitch_padding),
        rows_(c.height),
        frames_(std::max(kMinFrames, kBytesPerSide / (pitch_ * rows_) + 1)),
        sources_(frames_ * source_size()),
        destinations_(frames_ * destination_size()) {
    fill_pixels(sources_.data(), source_size(), c.content);
    for (std::size_t f = 1; f < frames_; ++f) {
      std::memcpy(sources_.data() + f * source_size(), sources_.data(), source_size());
    }
    std::memset(destinations_.data(), 0, destinations_.size());
  }

  std::size_t frames() const { return frames_; }
  std::size_t destination_size() const { return stride_ * rows_; }

  void convert(StraightAlphaKernel kernel, std::size_t f) {
    tarvix::ndi::copy_straight_alpha_with(kernel, source(f), pitch_, destination(f), stride_,
                                          stride_, rows_);
  }

  void copy(std::size_t f) {
    if (pitch_ == stride_) {
      std::memcpy(destination(f), source(f), destination_size());
      return;
    }
    for (std::uint32_t r = 0; r < rows_; ++r) {
      std::memcpy(destination(f) + r * stride_, source(f) + r * pitch_, stride_);
    }
  }

 private:
  std::size_t source_size() const { return pitch_ * rows_; }
  const std::uint8_t* source(std::size_t f) const { return sources_.data() + f * source_size(); }
  std::uint8_t* destination(std::size_t f) { return destinations_.data() + f * destination_size(); }

  std::size_t stride_;
  std::size_t pitch_;
  std::uint32_t rows_;
  std::size_t frames_;
  std::vector<std::uint8_t> sources_;
  std::vector<std::uint8_t> destinations_;
};

template <class F>
double seconds(F&& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  benchmark::ClobberMemory();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool operator==(const Case& a, const Case& b) {
  return a.width == b.width && a.height == b.height && a.pitch_padding == b.pitch_padding &&
         a.content == b.content;
}

// The frames of the last case: the benchmarks of one shape run one after
// another, and each is entered several times (iteration estimate, then every
// repetition), so building the set once per shape saves most of the run.
FrameSet& frames_for(const Case& c) {
  static std::optional<Case> kept_case;
  static std::unique_ptr<FrameSet> kept;
  if (!kept_case || !(*kept_case == c)) {
    kept.reset();  // never two sets at once
    kept = std::make_unique<FrameSet>(c);
    kept_case = c;
  }
  return *kept;
}

// kernel empty: the plain copy itself, timed against another plain copy.
void run(benchmark::State& state, const Case& c, const StraightAlphaKernel* kernel) {
  if (kernel != nullptr && !tarvix::ndi::straight_alpha_kernel_supported(*kernel)) {
    state.SkipWithError("kernel not supported by this processor");
    return;
  }
  FrameSet& set = frames_for(c);
  // The plain copy works on the frame half the set away, which has left the
  // cache by the time the kernel comes back to it.
  const std::size_t apart = set.frames() / 2;
  std::size_t f = 0;
  double measured = 0;
  double copied = 0;
  for (auto _ : state) {
    const double elapsed = seconds([&] {
      if (kernel != nullptr) {
        set.convert(*kernel, f);
      } else {
        set.copy(f);
      }
    });
    state.SetIterationTime(elapsed);
    measured += elapsed;
    copied += seconds([&] { set.copy((f + apart) % set.frames()); });
    f = (f + 1) % set.frames();
  }
  const auto frames = static_cast<double>(state.iterations());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * set.destination_size()));
  state.counters["memcpy_ms"] = copied / frames * 1e3;
  state.counters["x_memcpy"] = measured / copied;
}

const char* content_name(Content content) {
  switch (content) {
    case Content::Random:
      return "random";
    case Content::Opaque:
      return "opaque";
    case Content::Mixed:
      return "mixed";
  }
  return "?";
}

void register_all() {
  static const StraightAlphaKernel kernels[] = {
      StraightAlphaKernel::Scalar, StraightAlphaKernel::Sse2, StraightAlphaKernel::Avx2};
  const std::pair<std::size_t, std::uint32_t> sizes[] = {{1920, 1080}, {3840, 2160}};
  for (const auto& [width, height] : sizes) {
    for (std::size_t padding : {std::size_t{0}, std::size_t{64}}) {
      for (Content content : {Content::Random, Content::Opaque, Content::Mixed}) {
        const Case c{width, height, padding, content};
        const std::string shape = std::to_string(width) + "x" + std::to_string(height) + "/pitch+" +
                                  std::to_string(padding) + "/" + content_name(content);
        const auto add = [&](const std::string& name, const StraightAlphaKernel* kernel) {
          benchmark::RegisterBenchmark(("straight_alpha/" + shape + "/" + name).c_str(),
                                       [c, kernel](benchmark::State& s) { run(s, c, kernel); })
              ->UseManualTime()
              ->Unit(benchmark::kMillisecond)
              ->MinTime(0.5);
        };
        add("memcpy", nullptr);
        for (const StraightAlphaKernel& kernel : kernels) {
          add(std::string(tarvix::ndi::straight_alpha_kernel_name(kernel)), &kernel);
        }
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  register_all();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
