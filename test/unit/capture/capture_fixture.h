// One capture on the fake platform: a window, the scripted platform and what
// the handler saw.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
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
                                           const std::vector<std::string>& expected) {
  auto at = calls.begin();
  for (const std::string& call : expected) {
    at = std::find(at, calls.end(), call);
    if (at == calls.end()) return ::testing::AssertionFailure() << "missing or late: " << call;
    ++at;
  }
  return ::testing::AssertionSuccess();
}

// A call a table case breaks: it fails with `code` (after `skip` successes)
// or, with `null`, succeeds without an object. No call breaks nothing.
struct Broken {
  const char* call = nullptr;
  bool null = false;
  int skip = 0;
  platform::Hresult code = platform::kFail;
  void apply(fakes::FakePlatform& platform) const {
    if (call == nullptr) return;
    if (null) return platform.return_null(call);
    platform.fail(call, {code, {}}, skip);
  }
};

// The options the NDI output leaves at Default, so that each is set too.
inline void other_options(CaptureSettings& s) {
  s.secondary_windows = SecondaryWindowsSetting::On;
  s.min_update_interval = MinUpdateIntervalSetting::Custom({1, 500'000'000});
  s.dirty_region = DirtyRegionSetting::ReportAndRender;
}

struct Rig {
  fakes::FakePlatform fake;
  std::shared_ptr<HandlerProbe> probe = std::make_shared<HandlerProbe>();
  // Held by the handler factory, as the NDI output's holds its sender.
  std::shared_ptr<int> flags = std::make_shared<int>(0);

  Rig() { fake.add_window(kWindow); }

  // What the NDI output asks for: cursor and border off, the rest Default.
  Result<CaptureControl, CaptureError> start(
      const std::function<void(CaptureSettings&)>& adjust = nullptr) {
    CaptureSettings s;
    s.window = kWindow;
    s.cursor = CursorSetting::Off;
    s.border = BorderSetting::Off;
    s.handler_factory = recording_factory(probe, flags);
    if (adjust) adjust(s);
    return start_capture_thread(std::move(s), fake);
  }
  CaptureControl start_ok() {
    auto started = start();
    if (!started.ok()) ADD_FAILURE() << display(started.error());
    return std::move(started).value();
  }

  bool wait_frames(std::size_t n) {
    return probe->wait_until([n](const HandlerProbe& p) { return p.frames.size() >= n; });
  }
  FrameSeen frame(std::size_t i) {
    std::lock_guard lock(probe->mutex);
    return probe->frames.at(i);
  }
  // The capture thread has ended once its queue refuses posts for good.
  bool ended() {
    const platform::ThreadId thread = fake.capture_thread();
    if (thread == 0) return true;
    auto posted = fake.PortablePlatform::post_thread_message(thread, platform::kWmNull, 0, 0);
    return !posted && posted.error().code == platform::kThreadEnded;
  }
  bool wait_ended() {
    return fake.wait_until([&] { return ended(); });
  }
  // Nothing of the capture holds on to what the handler factory owns.
  bool released() const { return flags.use_count() == 1; }
};

}  // namespace tarvix::capture::testing
