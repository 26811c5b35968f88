#include "fakes/fake_capture_service.h"

#include <string>

#include "fakes/fake_platform.h"

namespace tarvix::capture::fakes {

using platform::PlatformError;
using platform::PlatformResult;

namespace {

std::string size_text(platform::SizeInt32 size) {
  return std::to_string(size.width) + "x" + std::to_string(size.height);
}

class FakeAction final : public platform::AsyncAction {
 public:
  FakeAction(FakePlatform& platform, std::shared_ptr<platform::AsyncAction> inner)
      : platform_(platform), inner_(std::move(inner)) {}
  PlatformResult<void> set_completed(platform::CompletedHandler handler) override {
    if (auto failure = platform_.enter("action.set_completed")) return Err{*failure};
    return inner_->set_completed([platform = &platform_, handler = std::move(handler)]() {
      platform->enter("action.completed");
      return handler();
    });
  }

 private:
  FakePlatform& platform_;
  std::shared_ptr<platform::AsyncAction> inner_;
};

}  // namespace

PlatformResult<platform::SizeInt32> FakeFrame::content_size() {
  if (auto failure = platform_.enter("frame.content_size")) return Err{*failure};
  return content_;
}

PlatformResult<std::shared_ptr<platform::Texture>> FakeFrame::texture() {
  if (auto failure = platform_.enter("frame.texture")) return Err{*failure};
  return std::shared_ptr<platform::Texture>(texture_);
}

PlatformResult<platform::SizeInt32> FakeItem::size() {
  if (auto failure = platform_.enter("item.size")) return Err{*failure};
  auto size = platform_.window_size(window_);
  if (!size) return Err{PlatformError{platform::kIllegalCall, "the window is gone"}};
  return *size;
}

PlatformResult<platform::EventToken> FakeItem::add_closed(platform::ClosedHandler handler) {
  if (auto failure = platform_.enter("item.add_closed")) return Err{*failure};
  return handlers_.add(std::move(handler));
}

PlatformResult<void> FakeItem::remove_closed(platform::EventToken token) {
  if (auto failure = platform_.enter("item.remove_closed")) return Err{*failure};
  if (!handlers_.remove(token)) return Err{PlatformError{platform::kInvalidArg, {}}};
  return {};
}

bool FakeItem::raise_closed() {
  return queue_->try_enqueue([self = shared_from_this()] {
    for (auto& handler : self->handlers_.snapshot())
      (void)handler();
  });
}

PlatformResult<void> FakeSession::call(const std::string& name, const std::string& argument) {
  if (auto failure = platform_.enter("session." + name, argument)) return Err{*failure};
  return {};
}

PlatformResult<void> FakeSession::start_capture() {
  return call("start_capture", {});
}
// On a system without the property the setter is not there to call.
PlatformResult<void> FakeSession::set_cursor_capture_enabled(bool enabled) {
  if (platform_.null_result("is_property_present:IsCursorCaptureEnabled")) {
    return Err{PlatformError{platform::kNoInterface, "no cursor property"}};
  }
  return call("set_cursor_capture_enabled", enabled ? "true" : "false");
}
PlatformResult<void> FakeSession::set_border_required(bool required) {
  if (platform_.null_result("is_property_present:IsBorderRequired")) {
    return Err{PlatformError{platform::kNoInterface, "no border property"}};
  }
  return call("set_border_required", required ? "true" : "false");
}
PlatformResult<void> FakeSession::set_include_secondary_windows(bool include) {
  return call("set_include_secondary_windows", include ? "true" : "false");
}
PlatformResult<void> FakeSession::set_min_update_interval(platform::TimeSpanTicks interval) {
  return call("set_min_update_interval", std::to_string(interval));
}
PlatformResult<void> FakeSession::set_dirty_region_mode(platform::DirtyRegionMode mode) {
  return call("set_dirty_region_mode", std::to_string(static_cast<int>(mode)));
}
PlatformResult<void> FakeSession::close() {
  return call("close", {});
}

PlatformResult<void> FakePool::recreate(platform::CaptureDevice&, platform::PixelFormat,
                                        std::int32_t buffers, platform::SizeInt32 size) {
  if (auto failure = platform_.enter("pool.recreate", size_text(size))) return Err{*failure};
  if (buffers != 1) return Err{PlatformError{platform::kInvalidArg, "one buffer expected"}};
  {
    std::lock_guard lock(mutex_);
    size_ = size;
  }
  platform_.enter("pool.recreated", size_text(size));
  return {};
}

PlatformResult<std::shared_ptr<platform::Frame>> FakePool::try_get_next_frame() {
  if (auto failure = platform_.enter("pool.try_get_next_frame")) return Err{*failure};
  std::lock_guard lock(mutex_);
  if (frames_.empty()) return std::shared_ptr<platform::Frame>();
  auto frame = std::move(frames_.front());
  frames_.pop_front();
  return std::shared_ptr<platform::Frame>(std::move(frame));
}

PlatformResult<std::shared_ptr<platform::ServiceSession>> FakePool::create_capture_session(
    platform::CaptureItem& item) {
  if (auto failure = platform_.enter("pool.create_capture_session")) return Err{*failure};
  auto* fake = dynamic_cast<FakeItem*>(&item);
  if (!fake) return Err{PlatformError{platform::kInvalidArg, {}}};
  {
    std::lock_guard lock(mutex_);
    window_ = fake->window();
  }
  return std::shared_ptr<platform::ServiceSession>(std::make_shared<FakeSession>(platform_));
}

PlatformResult<platform::EventToken> FakePool::add_frame_arrived(
    platform::FrameArrivedHandler handler) {
  if (auto failure = platform_.enter("pool.add_frame_arrived")) return Err{*failure};
  return handlers_.add(std::move(handler));
}

PlatformResult<void> FakePool::remove_frame_arrived(platform::EventToken token) {
  if (auto failure = platform_.enter("pool.remove_frame_arrived")) return Err{*failure};
  if (!handlers_.remove(token)) return Err{PlatformError{platform::kInvalidArg, {}}};
  return {};
}

PlatformResult<void> FakePool::close() {
  if (auto failure = platform_.enter("pool.close")) return Err{*failure};
  std::deque<std::shared_ptr<FakeFrame>> dropped;
  std::lock_guard lock(mutex_);
  closed_ = true;
  dropped.swap(frames_);
  return {};
}

bool FakePool::live_for(platform::WindowHandle window) const {
  std::lock_guard lock(mutex_);
  return !closed_ && window_ == window;
}

bool FakePool::push(platform::SizeInt32 content) {
  platform::TextureDesc desc{};
  std::uint8_t seed = 0;
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    desc = texture_desc(static_cast<std::uint32_t>(size_.width),
                        static_cast<std::uint32_t>(size_.height), platform::kPixelFormatBgra8);
    seed = static_cast<std::uint8_t>(sequence_++);
  }
  const std::uint32_t pitch = desc.width * 4;
  // Made outside the pool's lock: textures report to the platform.
  auto texture = std::make_shared<FakeTexture>(platform_, desc, pitch);
  for (std::uint32_t y = 0; y < desc.height; ++y) {
    for (std::uint32_t x = 0; x < pitch; ++x)
      texture->bytes()[std::size_t{y} * pitch + x] = static_cast<std::uint8_t>(seed + x + y);
  }
  auto frame = std::make_shared<FakeFrame>(platform_, content, std::move(texture));
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    frames_.push_back(std::move(frame));
  }
  return queue_->try_enqueue([self = shared_from_this()] {
    for (auto& handler : self->handlers_.snapshot()) {
      auto result = handler(self.get());
      if (!result) self->platform_.enter("pool.frame_arrived_failed");
    }
  });
}

PlatformResult<std::shared_ptr<platform::AsyncAction>> FakeController::shutdown_queue_async() {
  if (auto failure = platform_.enter("shutdown_queue_async")) return Err{*failure};
  if (platform_.null_result("shutdown_queue_async"))
    return std::shared_ptr<platform::AsyncAction>();
  auto inner = inner_->shutdown_queue_async();
  if (!inner) return inner;
  return std::shared_ptr<platform::AsyncAction>(
      std::make_shared<FakeAction>(platform_, std::move(inner).value()));
}

}  // namespace tarvix::capture::fakes
