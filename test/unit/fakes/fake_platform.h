// A scripted capture platform for unit tests. It keeps windows with a size,
// frame bounds, client rectangle and dpi; produces frames showing a pattern
// that differs per frame; resizes and closes windows on command; fails any
// call on request; and records the calls made so tests can check their order.
// Thread messages and the dispatcher queue are the portable ones, so events
// reach the capture thread's pump exactly as with a real backend.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "capture/platform/portable/portable_platform.h"

namespace tarvix::capture::fakes {

struct FakeWindow {
  platform::SizeInt32 size{64, 48};
  platform::Rect frame_bounds{0, 0, 64, 78};
  platform::Rect client_rect{0, 0, 64, 48};
  std::uint32_t dpi = 96;
};

class FakePool;
class FakeItem;

class FakePlatform : public platform::portable::PortablePlatform {
 public:
  FakePlatform();
  ~FakePlatform() override;

  // --- Script -------------------------------------------------------------
  void add_window(platform::WindowHandle window, FakeWindow spec = {});
  // Later frames show the new content size; the item reports it too.
  void resize_window(platform::WindowHandle window, platform::SizeInt32 size);
  // Raises Closed through the item's dispatcher queue. False when no item.
  bool close_window(platform::WindowHandle window);
  // Queues a frame in the window's live pool and raises FrameArrived through
  // the pool's dispatcher queue. False when the window has no live pool.
  bool push_frame(platform::WindowHandle window);

  // Fails calls named `call` (as they appear in calls(), with or without the
  // ":argument" suffix) after letting `skip` through, `times` times (-1:
  // always). get_message fails by returning -1.
  void fail(std::string call, platform::PlatformError error = {}, int skip = 0, int times = -1);
  // Makes a call that returns an object succeed with none, or one that
  // answers a question (with its ":argument", if any) answer false.
  void return_null(std::string call);
  void set_feature_level(platform::FeatureLevel level);
  // Row pitch of staging textures is 4 * width rounded up to `alignment`,
  // or with `short_rows` one pixel less than a row of the frame.
  void set_staging_rows(std::uint32_t alignment, bool short_rows = false);
  // Calls named `call` wait at the gate until it is opened (or a generous
  // time has passed).
  void hold(std::string call);
  void open(const std::string& call);

  // --- Observe ------------------------------------------------------------
  // Every call in order; a call repeated back to back is listed once.
  std::vector<std::string> calls() const;
  int count(const std::string& call) const;
  int waiting_at(const std::string& call) const;
  // Waits (bounded generously) until `ready` holds; rechecked after each call.
  bool wait_until(const std::function<bool()>& ready) const;
  int live_textures() const;
  int mapped_textures() const;
  // The thread that last created a dispatcher queue (the capture thread).
  platform::ThreadId capture_thread() const;

  // --- Platform -------------------------------------------------------------
  platform::PlatformResult<platform::MtaCookie> increment_mta_usage() override;
  platform::PlatformResult<void> decrement_mta_usage(platform::MtaCookie cookie) override;
  platform::PlatformResult<void> initialize_runtime() override;
  void uninitialize_runtime() override;
  platform::PlatformResult<std::shared_ptr<platform::DispatcherQueueController>>
  create_dispatcher_queue_controller() override;
  platform::PlatformResult<bool> is_api_contract_present(std::string_view contract,
                                                         std::uint16_t major) override;
  platform::PlatformResult<bool> is_property_present(std::string_view type,
                                                     std::string_view property) override;
  platform::PlatformResult<bool> is_capture_supported() override;
  platform::PlatformResult<platform::DeviceCreation> create_device(
      std::span<const platform::FeatureLevel> levels, std::uint32_t flags) override;
  platform::PlatformResult<std::shared_ptr<platform::CaptureItem>> create_item_for_window(
      platform::WindowHandle window) override;
  platform::PlatformResult<std::shared_ptr<platform::FramePool>> create_frame_pool(
      platform::CaptureDevice& device, platform::PixelFormat format, std::int32_t buffers,
      platform::SizeInt32 size) override;
  int get_message(platform::Message& message) override;
  platform::PlatformResult<void> post_thread_message(platform::ThreadId thread, std::uint32_t id,
                                                     std::uintptr_t wparam,
                                                     std::intptr_t lparam) override;
  platform::PlatformResult<platform::Rect> extended_frame_bounds(
      platform::WindowHandle window) override;
  platform::PlatformResult<platform::Rect> client_rect(platform::WindowHandle window) override;
  std::uint32_t dpi_for_window(platform::WindowHandle window) override;

  // --- For the fake's own objects -------------------------------------------
  // Records the call, waits at its gate, and returns the scripted failure.
  std::optional<platform::PlatformError> enter(const std::string& call,
                                               const std::string& argument = {});
  bool null_result(const std::string& call) const;
  std::uint32_t staging_row_pitch(std::uint32_t width) const;
  std::optional<platform::SizeInt32> window_size(platform::WindowHandle window) const;
  void texture_created(int delta);
  void texture_mapped(int delta);

 private:
  struct FailureRule {
    platform::PlatformError error;
    int skip = 0;
    int times = -1;
  };

  void record_locked(const std::string& entry);
  std::optional<platform::PlatformError> take_failure_locked(const std::string& key);
  std::shared_ptr<FakePool> live_pool(platform::WindowHandle window) const;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<std::string> calls_;
  std::map<std::string, int, std::less<>> counts_;
  std::map<std::string, FailureRule, std::less<>> failures_;
  std::set<std::string, std::less<>> null_results_;
  std::set<std::string, std::less<>> gates_;
  std::map<std::string, int, std::less<>> waiting_;
  std::map<platform::WindowHandle, FakeWindow> windows_;
  std::vector<std::weak_ptr<FakeItem>> items_;
  std::vector<std::weak_ptr<FakePool>> pools_;
  platform::FeatureLevel level_ = platform::FeatureLevel::Level11_1;
  std::uint32_t staging_alignment_ = 1;
  bool short_staging_rows_ = false;
  int live_textures_ = 0;
  int mapped_textures_ = 0;
  platform::ThreadId capture_thread_ = 0;
};

}  // namespace tarvix::capture::fakes
