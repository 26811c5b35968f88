#include "fakes/fake_platform.h"

#include <algorithm>

#include "fakes/fake_capture_service.h"
#include "fakes/fake_graphics.h"

namespace tarvix::capture::fakes {

using platform::PlatformError;
using platform::PlatformResult;

namespace {

// Long enough for a loaded sanitizer build, short enough to end a hung test.
constexpr std::chrono::seconds kWaitLimit{20};

PlatformError no_window() {
  return {platform::hresult_from_win32(1400), "Invalid window handle."};
}

}  // namespace

FakePlatform::FakePlatform() = default;
FakePlatform::~FakePlatform() = default;

// --- Script ------------------------------------------------------------------

void FakePlatform::add_window(platform::WindowHandle window, FakeWindow spec) {
  std::lock_guard lock(mutex_);
  windows_[window] = spec;
}

void FakePlatform::resize_window(platform::WindowHandle window, platform::SizeInt32 size) {
  std::lock_guard lock(mutex_);
  windows_[window].size = size;
}

bool FakePlatform::close_window(platform::WindowHandle window) {
  std::vector<std::shared_ptr<FakeItem>> items;
  {
    std::lock_guard lock(mutex_);
    windows_.erase(window);
    for (auto& weak : items_) {
      if (auto item = weak.lock(); item && item->window() == window) items.push_back(item);
    }
  }
  bool raised = false;
  for (auto& item : items)
    raised = item->raise_closed() || raised;
  return raised;
}

// The platform's lock is never held while a pool's is taken.
std::shared_ptr<FakePool> FakePlatform::live_pool(platform::WindowHandle window) const {
  std::vector<std::weak_ptr<FakePool>> pools;
  {
    std::lock_guard lock(mutex_);
    pools = pools_;
  }
  for (auto it = pools.rbegin(); it != pools.rend(); ++it) {
    if (auto pool = it->lock(); pool && pool->live_for(window)) return pool;
  }
  return nullptr;
}

bool FakePlatform::push_frame(platform::WindowHandle window) {
  std::shared_ptr<FakePool> pool = live_pool(window);
  auto content = window_size(window);
  if (!pool || !content) return false;
  return pool->push(*content);
}

void FakePlatform::fail(std::string call, PlatformError error, int skip, int times) {
  std::lock_guard lock(mutex_);
  failures_[std::move(call)] = FailureRule{std::move(error), skip, times};
}

void FakePlatform::return_null(std::string call) {
  std::lock_guard lock(mutex_);
  null_results_.insert(std::move(call));
}

void FakePlatform::set_feature_level(platform::FeatureLevel level) {
  std::lock_guard lock(mutex_);
  level_ = level;
}

void FakePlatform::set_staging_rows(std::uint32_t alignment, bool short_rows) {
  std::lock_guard lock(mutex_);
  staging_alignment_ = std::max<std::uint32_t>(alignment, 1);
  short_staging_rows_ = short_rows;
}

void FakePlatform::hold(std::string call) {
  std::lock_guard lock(mutex_);
  gates_.insert(std::move(call));
}

void FakePlatform::open(const std::string& call) {
  {
    std::lock_guard lock(mutex_);
    gates_.erase(call);
  }
  changed_.notify_all();
}

// --- Observe -----------------------------------------------------------------

std::vector<std::string> FakePlatform::calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

int FakePlatform::count(const std::string& call) const {
  std::lock_guard lock(mutex_);
  auto it = counts_.find(call);
  return it == counts_.end() ? 0 : it->second;
}

int FakePlatform::waiting_at(const std::string& call) const {
  std::lock_guard lock(mutex_);
  auto it = waiting_.find(call);
  return it == waiting_.end() ? 0 : it->second;
}

bool FakePlatform::wait_until(const std::function<bool()>& ready) const {
  const auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
  std::unique_lock lock(mutex_);
  while (true) {
    lock.unlock();
    if (ready()) return true;
    lock.lock();
    // Rechecked at least every 10 ms in case the condition does not come
    // from a call of this fake.
    if (changed_.wait_until(lock, std::min(deadline, std::chrono::steady_clock::now() +
                                                         std::chrono::milliseconds(10))) ==
            std::cv_status::timeout &&
        std::chrono::steady_clock::now() >= deadline) {
      lock.unlock();
      return ready();
    }
  }
}

int FakePlatform::live_textures() const {
  std::lock_guard lock(mutex_);
  return live_textures_;
}

int FakePlatform::mapped_textures() const {
  std::lock_guard lock(mutex_);
  return mapped_textures_;
}

platform::ThreadId FakePlatform::capture_thread() const {
  std::lock_guard lock(mutex_);
  return capture_thread_;
}

// --- Bookkeeping -------------------------------------------------------------

void FakePlatform::record_locked(const std::string& entry) {
  ++counts_[entry];
  if (calls_.empty() || calls_.back() != entry) calls_.push_back(entry);
}

std::optional<PlatformError> FakePlatform::take_failure_locked(const std::string& key) {
  auto it = failures_.find(key);
  if (it == failures_.end()) return std::nullopt;
  FailureRule& rule = it->second;
  if (rule.skip > 0) {
    --rule.skip;
    return std::nullopt;
  }
  if (rule.times == 0) return std::nullopt;
  if (rule.times > 0) --rule.times;
  return rule.error;
}

std::optional<PlatformError> FakePlatform::enter(const std::string& call,
                                                 const std::string& argument) {
  const std::string entry = argument.empty() ? call : call + ":" + argument;
  std::unique_lock lock(mutex_);
  record_locked(entry);
  if (entry != call) ++counts_[call];
  changed_.notify_all();
  if (gates_.count(call) > 0) {
    ++waiting_[call];
    changed_.notify_all();
    // Bounded, so that a test whose capture went another way fails instead
    // of hanging at a gate nobody opens.
    changed_.wait_for(lock, kWaitLimit, [&] { return gates_.count(call) == 0; });
    --waiting_[call];
  }
  if (auto failure = take_failure_locked(entry)) return failure;
  if (entry != call) return take_failure_locked(call);
  return std::nullopt;
}

bool FakePlatform::null_result(const std::string& call) const {
  std::lock_guard lock(mutex_);
  return null_results_.count(call) > 0;
}

std::uint32_t FakePlatform::staging_row_pitch(std::uint32_t width) const {
  std::lock_guard lock(mutex_);
  if (short_staging_rows_) return width * 4 - 4;
  return (width * 4 + staging_alignment_ - 1) / staging_alignment_ * staging_alignment_;
}

std::optional<platform::SizeInt32> FakePlatform::window_size(platform::WindowHandle window) const {
  std::lock_guard lock(mutex_);
  auto it = windows_.find(window);
  if (it == windows_.end()) return std::nullopt;
  return it->second.size;
}

void FakePlatform::texture_created(int delta) {
  std::lock_guard lock(mutex_);
  live_textures_ += delta;
}

void FakePlatform::texture_mapped(int delta) {
  std::lock_guard lock(mutex_);
  mapped_textures_ += delta;
}

// --- Platform ------------------------------------------------------------------

PlatformResult<platform::MtaCookie> FakePlatform::increment_mta_usage() {
  if (auto failure = enter("increment_mta_usage")) return Err{*failure};
  return PortablePlatform::increment_mta_usage();
}

PlatformResult<void> FakePlatform::decrement_mta_usage(platform::MtaCookie cookie) {
  if (auto failure = enter("decrement_mta_usage")) return Err{*failure};
  return PortablePlatform::decrement_mta_usage(cookie);
}

PlatformResult<void> FakePlatform::initialize_runtime() {
  if (auto failure = enter("initialize_runtime")) return Err{*failure};
  return PortablePlatform::initialize_runtime();
}

void FakePlatform::uninitialize_runtime() {
  enter("uninitialize_runtime");
  PortablePlatform::uninitialize_runtime();
}

PlatformResult<std::shared_ptr<platform::DispatcherQueueController>>
FakePlatform::create_dispatcher_queue_controller() {
  if (auto failure = enter("create_dispatcher_queue_controller")) return Err{*failure};
  if (null_result("create_dispatcher_queue_controller")) {
    return std::shared_ptr<platform::DispatcherQueueController>();
  }
  auto inner = PortablePlatform::create_dispatcher_queue_controller();
  if (!inner) return inner;
  {
    std::lock_guard lock(mutex_);
    capture_thread_ = current_thread_id();
  }
  return std::shared_ptr<platform::DispatcherQueueController>(
      std::make_shared<FakeController>(*this, std::move(inner).value()));
}

PlatformResult<bool> FakePlatform::is_api_contract_present(std::string_view contract,
                                                           std::uint16_t major) {
  if (auto failure = enter("is_api_contract_present")) return Err{*failure};
  return !null_result("is_api_contract_present") && contract == platform::kUniversalApiContract &&
         major <= 8;
}

PlatformResult<bool> FakePlatform::is_property_present(std::string_view type,
                                                       std::string_view property) {
  if (auto failure = enter("is_property_present", std::string(property))) return Err{*failure};
  return type == platform::kCaptureSessionType &&
         !null_result("is_property_present:" + std::string(property));
}

PlatformResult<bool> FakePlatform::is_capture_supported() {
  if (auto failure = enter("is_capture_supported")) return Err{*failure};
  return !null_result("is_capture_supported");
}

PlatformResult<platform::DeviceCreation> FakePlatform::create_device(
    std::span<const platform::FeatureLevel> levels, std::uint32_t flags) {
  if (auto failure = enter("create_device")) return Err{*failure};
  platform::FeatureLevel level;
  {
    std::lock_guard lock(mutex_);
    level = level_;
  }
  // Like the real call: the first requested level the adapter reaches.
  auto reached = std::find_if(levels.begin(), levels.end(), [&](platform::FeatureLevel l) {
    return static_cast<unsigned>(l) <= static_cast<unsigned>(level);
  });
  if (reached == levels.end() || (flags & platform::kCreateDeviceBgraSupport) == 0) {
    return Err{PlatformError{platform::hresult(0x887A0004),
                             "The specified device interface or "
                             "feature level is not supported."}};
  }
  platform::DeviceCreation made;
  made.level = *reached;
  made.device = std::make_shared<FakeDevice>(*this);
  if (!null_result("create_device:context")) made.context = std::make_shared<FakeContext>(*this);
  return made;
}

PlatformResult<std::shared_ptr<platform::CaptureItem>> FakePlatform::create_item_for_window(
    platform::WindowHandle window) {
  if (auto failure = enter("create_item_for_window")) return Err{*failure};
  if (!window_size(window)) return Err{PlatformError{platform::kInvalidArg, {}}};
  // Closed is raised through the creating thread's queue, like FrameArrived.
  auto item = std::make_shared<FakeItem>(*this, window,
                                         platform::portable::DispatcherQueue::for_current_thread());
  std::lock_guard lock(mutex_);
  items_.push_back(item);
  return std::shared_ptr<platform::CaptureItem>(std::move(item));
}

PlatformResult<std::shared_ptr<platform::FramePool>> FakePlatform::create_frame_pool(
    platform::CaptureDevice&, platform::PixelFormat format, std::int32_t buffers,
    platform::SizeInt32 size) {
  if (auto failure = enter("create_frame_pool")) return Err{*failure};
  auto queue = platform::portable::DispatcherQueue::for_current_thread();
  if (!queue || buffers != 1 || format != platform::kPixelFormatBgra8) {
    return Err{PlatformError{platform::kInvalidArg, {}}};
  }
  auto pool = std::make_shared<FakePool>(*this, size, std::move(queue));
  std::lock_guard lock(mutex_);
  pools_.push_back(pool);
  return std::shared_ptr<platform::FramePool>(std::move(pool));
}

int FakePlatform::get_message(platform::Message& message) {
  if (enter("get_message")) return -1;
  const int got = PortablePlatform::get_message(message);
  if (got == 0) enter("get_message:quit");
  return got;
}

PlatformResult<void> FakePlatform::post_thread_message(platform::ThreadId thread, std::uint32_t id,
                                                       std::uintptr_t wparam,
                                                       std::intptr_t lparam) {
  if (auto failure = enter("post_thread_message", id == platform::kWmQuit ? "quit" : "")) {
    return Err{*failure};
  }
  auto posted = PortablePlatform::post_thread_message(thread, id, wparam, lparam);
  if (!posted && posted.error().code == platform::kInvalidThreadId) {
    enter("post_thread_message:no queue");
  }
  return posted;
}

PlatformResult<platform::Rect> FakePlatform::extended_frame_bounds(platform::WindowHandle window) {
  if (auto failure = enter("extended_frame_bounds")) return Err{*failure};
  std::lock_guard lock(mutex_);
  auto it = windows_.find(window);
  if (it == windows_.end()) return Err{no_window()};
  return it->second.frame_bounds;
}

PlatformResult<platform::Rect> FakePlatform::client_rect(platform::WindowHandle window) {
  if (auto failure = enter("client_rect")) return Err{*failure};
  std::lock_guard lock(mutex_);
  auto it = windows_.find(window);
  if (it == windows_.end()) return Err{no_window()};
  return it->second.client_rect;
}

std::uint32_t FakePlatform::dpi_for_window(platform::WindowHandle window) {
  enter("dpi_for_window");
  std::lock_guard lock(mutex_);
  auto it = windows_.find(window);
  return it == windows_.end() ? 0 : it->second.dpi;
}

}  // namespace tarvix::capture::fakes
