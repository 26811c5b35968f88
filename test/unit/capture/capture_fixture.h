// Shared set-up for tests that run captures on the fake platform.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
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

  // The capture thread has ended once its queue refuses posts for good.
  bool capture_thread_ended() {
    const platform::ThreadId thread = fake.capture_thread();
    if (thread == 0) return true;
    auto posted = fake.PortablePlatform::post_thread_message(thread, platform::kWmNull, 0, 0);
    return !posted && posted.error().code == platform::kThreadEnded;
  }

  fakes::FakePlatform fake;
  std::shared_ptr<HandlerProbe> probe = std::make_shared<HandlerProbe>();
  std::shared_ptr<int> flags = std::make_shared<int>(0);
};

}  // namespace tarvix::capture::testing
