#include "x11/recorder.h"

#include <cstring>
#include <utility>

#include "capture/capture_frame.h"

namespace tarvix::x11_test {

namespace {

constexpr std::chrono::seconds kPatience{20};

class RecordingHandler final : public capture::CaptureHandler {
 public:
  explicit RecordingHandler(std::shared_ptr<Recorder> recorder) : recorder_(std::move(recorder)) {}

  capture::HandlerResult handle_frame(capture::CaptureFrame& frame,
                                      capture::FrameControl&) override {
    recorder_->before_read();
    auto mapped = frame.read_back();
    // Skipped like the forwarder skips it: the window changed meanwhile.
    if (!mapped && capture::frame_not_ready(mapped.error())) return {};
    if (!mapped) return Err{capture::HandlerError{capture::display(mapped.error())}};
    Picture picture{frame.width(), frame.height(), {}};
    const std::size_t row = std::size_t{picture.width} * 4;
    picture.bgra.resize(row * picture.height);
    for (std::uint32_t y = 0; y < picture.height; ++y) {
      std::memcpy(picture.bgra.data() + y * row,
                  mapped.value().data() + std::size_t{y} * mapped.value().row_pitch(), row);
    }
    // As the forwarder sends it: a frame without alpha is opaque.
    for (std::size_t i = 3; frame.opaque() && i < picture.bgra.size(); i += 4)
      picture.bgra[i] = 255;
    recorder_->record(picture, frame.title_bar_height());
    return {};
  }

  capture::HandlerResult handle_closed() override {
    recorder_->record_closed();
    return {};
  }

 private:
  std::shared_ptr<Recorder> recorder_;
};

}  // namespace

void Recorder::set_before_read(std::function<void()> action) {
  std::lock_guard lock(mutex_);
  before_read_ = std::move(action);
}

void Recorder::before_read() {
  std::function<void()> action;
  {
    std::lock_guard lock(mutex_);
    action = std::exchange(before_read_, nullptr);
  }
  if (action) action();
}

capture::HandlerFactory Recorder::factory() {
  return
      [self = shared_from_this()](auto, auto) { return std::make_unique<RecordingHandler>(self); };
}

void Recorder::set_matcher(Matcher matcher) {
  std::lock_guard lock(mutex_);
  matcher_ = std::move(matcher);
}

void Recorder::record(const Picture& picture, std::optional<std::uint32_t> title_bar_height) {
  Matcher matcher;
  {
    std::lock_guard lock(mutex_);
    matcher = matcher_;
  }
  const bool matched = matcher && matcher(picture);
  bool all_opaque = true;
  for (std::size_t i = 3; i < picture.bgra.size(); i += 4)
    all_opaque &= picture.bgra[i] == 255;
  std::lock_guard lock(mutex_);
  frames_.push_back({picture.width, picture.height, title_bar_height, matched, all_opaque});
  last_ = picture;
  changed_.notify_all();
}

void Recorder::record_closed() {
  std::lock_guard lock(mutex_);
  ++closed_;
  changed_.notify_all();
}

bool Recorder::wait_until(const std::function<bool(const std::vector<FrameRecord>&)>& condition,
                          std::chrono::seconds patience) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, patience, [&] { return condition(frames_); });
}

bool Recorder::wait_for_match(std::chrono::seconds patience) {
  return wait_until(
      [](const auto& frames) {
        for (const auto& f : frames) {
          if (f.matched) return true;
        }
        return false;
      },
      patience);
}

bool Recorder::wait_for_frames(std::size_t count) {
  return wait_until([count](const auto& frames) { return frames.size() >= count; });
}

bool Recorder::wait_for_closed() {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, kPatience, [&] { return closed_ > 0; });
}

std::vector<FrameRecord> Recorder::frames() {
  std::lock_guard lock(mutex_);
  return frames_;
}

Picture Recorder::last_picture() {
  std::lock_guard lock(mutex_);
  return last_;
}

int Recorder::closed_count() {
  std::lock_guard lock(mutex_);
  return closed_;
}

}  // namespace tarvix::x11_test
