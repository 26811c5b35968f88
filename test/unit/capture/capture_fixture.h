// Shared set-up for tests that run captures on the fake platform.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "capture/capture_thread.h"
#include "capture/recording_handler.h"
#include "fakes/fake_platform.h"

namespace tarvix::capture::testing {

inline constexpr platform::WindowHandle kWindow = 0x4401;

// True when `expected` appears in `calls` in this order (other calls may
// come between).
inline ::testing::AssertionResult in_order(const std::vector<std::string>& calls,
                                           std::initializer_list<std::string> expected) {
  auto at = calls.begin();
  for (const std::string& call : expected) {
    at = std::find(at, calls.end(), call);
    if (at == calls.end()) {
      std::string seen;
      for (const auto& c : calls)
        seen += c + " ";
      return ::testing::AssertionFailure()
             << "missing or out of order: " << call << "\n  calls: " << seen;
    }
    ++at;
  }
  return ::testing::AssertionSuccess();
}

// A call a table case breaks: it fails (after `skip` successes) or, with
// `null`, succeeds without an object.
struct Broken {
  const char* call;
  bool null = false;
  int skip = 0;
  void apply(fakes::FakePlatform& platform) const {
    if (null) {
      platform.return_null(call);
    } else {
      platform.fail(call, {}, skip);
    }
  }
};

class CaptureTest : public ::testing::Test {
 protected:
  void SetUp() override { fake.add_window(kWindow); }

  // What the NDI output asks for: cursor and border off, the rest Default.
  CaptureSettings settings() {
    CaptureSettings s;
    s.window = kWindow;
    s.cursor = CursorSetting::Off;
    s.border = BorderSetting::Off;
    s.handler_factory = recording_factory(probe, flags);
    return s;
  }

  Result<CaptureControl, CaptureError> start(CaptureSettings s) {
    return start_capture_thread(std::move(s), fake);
  }
  CaptureControl start_ok() {
    auto started = start(settings());
    if (!started.ok()) ADD_FAILURE() << display(started.error());
    return std::move(started).value();
  }

  // For tables whose cases each need a platform and handler of their own.
  struct Fresh {
    fakes::FakePlatform platform;
    std::shared_ptr<HandlerProbe> probe = std::make_shared<HandlerProbe>();
    std::shared_ptr<int> flags = std::make_shared<int>(0);
  };
  Result<CaptureControl, CaptureError> start_fresh(
      Fresh& fresh, std::function<void(CaptureSettings&)> adjust = nullptr) {
    fresh.platform.add_window(kWindow);
    auto s = settings();
    s.handler_factory = recording_factory(fresh.probe, fresh.flags);
    if (adjust) adjust(s);
    return start_capture_thread(std::move(s), fresh.platform);
  }

  bool wait_frames(std::size_t n) {
    return probe->wait_until([n](const HandlerProbe& p) { return p.frames.size() >= n; });
  }
  FrameSeen frame(std::size_t i) {
    std::lock_guard lock(probe->mutex);
    return probe->frames.at(i);
  }

  // The capture thread has ended once its queue refuses posts for good.
  static bool capture_thread_ended(fakes::FakePlatform& platform) {
    const platform::ThreadId thread = platform.capture_thread();
    if (thread == 0) return true;
    auto posted = platform.PortablePlatform::post_thread_message(thread, platform::kWmNull, 0, 0);
    return !posted && posted.error().code == platform::kThreadEnded;
  }
  bool capture_thread_ended() { return capture_thread_ended(fake); }
  bool wait_ended() {
    return fake.wait_until([&] { return capture_thread_ended(); });
  }

  fakes::FakePlatform fake;
  std::shared_ptr<HandlerProbe> probe = std::make_shared<HandlerProbe>();
  std::shared_ptr<int> flags = std::make_shared<int>(0);
};

}  // namespace tarvix::capture::testing
