// A capture handler for tests: it records every frame it is given (size,
// title-bar height, and the pixels of the latest one) and whether the window
// closed, and lets the test wait for what it expects.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "capture/capture_handler.h"
#include "capture/capture_settings.h"

namespace tarvix::x11_test {

struct Picture {
  std::uint32_t width = 0, height = 0;
  std::vector<std::uint8_t> bgra;  // packed rows
};

struct FrameRecord {
  std::uint32_t width = 0, height = 0;
  std::optional<std::uint32_t> title_bar_height;
  bool matched = false;     // the matcher accepted its pixels
  bool all_opaque = false;  // every pixel has alpha 255
};

class Recorder : public std::enable_shared_from_this<Recorder> {
 public:
  using Matcher = std::function<bool(const Picture&)>;

  // A factory for CaptureSettings whose handlers record here.
  capture::HandlerFactory factory();
  // Checked on every later frame; its verdict is kept in the frame's record.
  void set_matcher(Matcher matcher);
  // Runs once, on the capture thread, between taking the next frame and
  // reading it back.
  void set_before_read(std::function<void()> action);
  void before_read();

  // Waits (at most `patience`) until `condition` holds for the frames so far.
  bool wait_until(const std::function<bool(const std::vector<FrameRecord>&)>& condition,
                  std::chrono::seconds patience = std::chrono::seconds(20));
  bool wait_for_match(std::chrono::seconds patience = std::chrono::seconds(20));
  bool wait_for_frames(std::size_t count);
  bool wait_for_closed();

  std::vector<FrameRecord> frames();
  Picture last_picture();
  int closed_count();

  void record(const Picture& picture, std::optional<std::uint32_t> title_bar_height);
  void record_closed();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  Matcher matcher_;
  std::function<void()> before_read_;
  std::vector<FrameRecord> frames_;
  Picture last_;
  int closed_ = 0;
};

}  // namespace tarvix::x11_test
