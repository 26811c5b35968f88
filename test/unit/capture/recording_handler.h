// A capture handler for tests: records what reaches it and fails, stops or
// throws on the frame it is told to.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "capture/capture_frame.h"
#include "capture/capture_handler.h"

namespace tarvix::capture::testing {

struct FrameSeen {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::optional<std::uint32_t> title_bar_height;
  std::uint32_t row_pitch = 0;
  std::vector<std::uint8_t> rows;  // tightly packed, from read_back
  std::string read_back_error;
};

struct HandlerProbe {
  // Script, set before the capture starts.
  int fail_on_frame = -1;  // 0-based index of the frame that fails
  int stop_on_frame = -1;
  int throw_on_frame = -1;
  std::optional<std::string> closed_error;

  // Observed.
  mutable std::mutex mutex;
  mutable std::condition_variable changed;
  std::vector<FrameSeen> frames;
  int closed = 0;
  bool destroyed = false;

  template <class Ready>
  bool wait_until(Ready ready) const {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(20), [&] { return ready(*this); });
  }
  std::size_t frame_count() const {
    std::lock_guard lock(mutex);
    return frames.size();
  }
};

class RecordingHandler final : public CaptureHandler {
 public:
  explicit RecordingHandler(std::shared_ptr<HandlerProbe> probe) : probe_(std::move(probe)) {}
  ~RecordingHandler() override {
    std::lock_guard lock(probe_->mutex);
    probe_->destroyed = true;
    probe_->changed.notify_all();
  }

  HandlerResult handle_frame(CaptureFrame& frame, FrameControl& control) override {
    FrameSeen seen = look_at(frame);  // the MappedFrame is released again here
    std::lock_guard lock(probe_->mutex);
    const int index = static_cast<int>(probe_->frames.size());
    probe_->frames.push_back(std::move(seen));
    probe_->changed.notify_all();
    if (index == probe_->throw_on_frame) throw std::runtime_error("handler fault");
    if (index == probe_->stop_on_frame) control.stop();
    if (index == probe_->fail_on_frame) return Err{HandlerError{"sender went away"}};
    return {};
  }

  HandlerResult handle_closed() override {
    std::lock_guard lock(probe_->mutex);
    ++probe_->closed;
    probe_->changed.notify_all();
    if (probe_->closed_error) return Err{HandlerError{*probe_->closed_error}};
    return {};
  }

 private:
  static FrameSeen look_at(CaptureFrame& frame) {
    FrameSeen seen{frame.width(), frame.height(), frame.title_bar_height(), 0, {}, {}};
    auto mapped = frame.read_back();
    if (!mapped) seen.read_back_error = display(mapped.error());
    for (std::uint32_t y = 0; mapped && y < mapped->height(); ++y) {
      const std::uint8_t* row = mapped->data() + std::size_t{y} * mapped->row_pitch();
      seen.rows.insert(seen.rows.end(), row, row + std::size_t{mapped->width()} * 4);
    }
    if (mapped) seen.row_pitch = mapped->row_pitch();
    return seen;
  }

  std::shared_ptr<HandlerProbe> probe_;
};

// A factory that owns `flags` the way the NDI output's factory owns its
// sender handle, so tests can see when the capture thread let go of it.
inline HandlerFactory recording_factory(std::shared_ptr<HandlerProbe> probe,
                                        std::shared_ptr<int> flags = std::make_shared<int>(0)) {
  return
      [probe, flags](std::shared_ptr<platform::Device>,
                     std::shared_ptr<platform::DeviceContext>) -> std::unique_ptr<CaptureHandler> {
        return std::make_unique<RecordingHandler>(probe);
      };
}

}  // namespace tarvix::capture::testing
