// Fake capture service objects. Events are raised through the dispatcher
// queue of the thread that created the item or pool, like the real service.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "capture/platform/capture_service.h"
#include "capture/platform/portable/dispatcher_queue.h"
#include "fakes/fake_graphics.h"

namespace tarvix::capture::fakes {

class FakePlatform;

class FakeFrame final : public platform::Frame {
 public:
  FakeFrame(FakePlatform& platform, platform::SizeInt32 content,
            std::shared_ptr<FakeTexture> texture)
      : platform_(platform), content_(content), texture_(std::move(texture)) {}
  platform::PlatformResult<platform::SizeInt32> content_size() override;
  platform::PlatformResult<std::shared_ptr<platform::Texture>> texture() override;

 private:
  FakePlatform& platform_;
  platform::SizeInt32 content_;
  std::shared_ptr<FakeTexture> texture_;
};

// Keeps handlers by token; raise() calls those registered when it runs.
template <class Handler>
class HandlerList {
 public:
  platform::EventToken add(Handler handler) {
    std::lock_guard lock(mutex_);
    handlers_.emplace(next_, std::move(handler));
    return next_++;
  }
  bool remove(platform::EventToken token) {
    std::lock_guard lock(mutex_);
    return handlers_.erase(token) > 0;
  }
  std::vector<Handler> snapshot() const {
    std::lock_guard lock(mutex_);
    std::vector<Handler> out;
    for (const auto& [token, handler] : handlers_)
      out.push_back(handler);
    return out;
  }

 private:
  mutable std::mutex mutex_;
  platform::EventToken next_ = 1;
  std::map<platform::EventToken, Handler> handlers_;
};

class FakeItem final : public platform::CaptureItem, public std::enable_shared_from_this<FakeItem> {
 public:
  FakeItem(FakePlatform& platform, platform::WindowHandle window,
           std::shared_ptr<platform::portable::DispatcherQueue> queue)
      : platform_(platform), window_(window), queue_(std::move(queue)) {}
  platform::PlatformResult<platform::SizeInt32> size() override;
  platform::PlatformResult<platform::EventToken> add_closed(
      platform::ClosedHandler handler) override;
  platform::PlatformResult<void> remove_closed(platform::EventToken token) override;

  platform::WindowHandle window() const { return window_; }
  bool raise_closed();

 private:
  FakePlatform& platform_;
  platform::WindowHandle window_;
  std::shared_ptr<platform::portable::DispatcherQueue> queue_;
  HandlerList<platform::ClosedHandler> handlers_;
};

class FakeSession final : public platform::ServiceSession {
 public:
  explicit FakeSession(FakePlatform& platform) : platform_(platform) {}
  platform::PlatformResult<void> start_capture() override;
  platform::PlatformResult<void> set_cursor_capture_enabled(bool enabled) override;
  platform::PlatformResult<void> set_border_required(bool required) override;
  platform::PlatformResult<void> set_include_secondary_windows(bool include) override;
  platform::PlatformResult<void> set_min_update_interval(platform::TimeSpanTicks interval) override;
  platform::PlatformResult<void> set_dirty_region_mode(platform::DirtyRegionMode mode) override;
  platform::PlatformResult<void> close() override;

 private:
  platform::PlatformResult<void> call(const std::string& name, const std::string& argument);
  FakePlatform& platform_;
};

class FakePool final : public platform::FramePool, public std::enable_shared_from_this<FakePool> {
 public:
  FakePool(FakePlatform& platform, platform::SizeInt32 size,
           std::shared_ptr<platform::portable::DispatcherQueue> queue)
      : platform_(platform), size_(size), queue_(std::move(queue)) {}
  platform::PlatformResult<void> recreate(platform::CaptureDevice& device,
                                          platform::PixelFormat format, std::int32_t buffers,
                                          platform::SizeInt32 size) override;
  platform::PlatformResult<std::shared_ptr<platform::Frame>> try_get_next_frame() override;
  platform::PlatformResult<std::shared_ptr<platform::ServiceSession>> create_capture_session(
      platform::CaptureItem& item) override;
  platform::PlatformResult<platform::EventToken> add_frame_arrived(
      platform::FrameArrivedHandler handler) override;
  platform::PlatformResult<void> remove_frame_arrived(platform::EventToken token) override;
  platform::PlatformResult<void> close() override;

  bool live_for(platform::WindowHandle window) const;
  // Queues a frame of the pool's size whose content is `content` big, then raises
  // FrameArrived. False once the pool is closed or its queue is gone.
  bool push(platform::SizeInt32 content);

 private:
  FakePlatform& platform_;
  mutable std::mutex mutex_;
  platform::SizeInt32 size_;
  std::optional<platform::WindowHandle> window_;
  bool closed_ = false;
  std::uint32_t sequence_ = 0;
  std::deque<std::shared_ptr<FakeFrame>> frames_;
  std::shared_ptr<platform::portable::DispatcherQueue> queue_;
  HandlerList<platform::FrameArrivedHandler> handlers_;
};

// Wraps the portable controller and action so shutdown can be scripted.
class FakeController final : public platform::DispatcherQueueController {
 public:
  FakeController(FakePlatform& platform, std::shared_ptr<platform::DispatcherQueueController> inner)
      : platform_(platform), inner_(std::move(inner)) {}
  platform::PlatformResult<std::shared_ptr<platform::AsyncAction>> shutdown_queue_async() override;

 private:
  FakePlatform& platform_;
  std::shared_ptr<platform::DispatcherQueueController> inner_;
};

}  // namespace tarvix::capture::fakes
