#include "ndi/sender.h"

#include <mutex>
#include <string_view>
#include <vector>

#include "ndi/runtime.h"

namespace tarvix::ndi {
namespace {

// Serialises the flushes of all senders of the process.
std::mutex& flush_lock() {
  static std::mutex lock;
  return lock;
}

// Decodes one UTF-8 sequence at text[i]; returns its code point and advances
// i, or returns nothing (and leaves i) when the bytes are not well formed.
std::optional<char32_t> next_code_point(std::string_view text, std::size_t& i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  std::size_t length = lead < 0x80           ? 1
                       : (lead >> 5) == 0x6  ? 2
                       : (lead >> 4) == 0xe  ? 3
                       : (lead >> 3) == 0x1e ? 4
                                             : 0;
  if (length == 0 || i + length > text.size()) return std::nullopt;
  char32_t code = length == 1 ? lead : lead & (0x7f >> length);
  for (std::size_t k = 1; k < length; ++k) {
    const auto byte = static_cast<unsigned char>(text[i + k]);
    if ((byte & 0xc0) != 0x80) return std::nullopt;
    code = (code << 6) | (byte & 0x3f);
  }
  i += length;
  return code;
}

bool is_white_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0d) || c == 0x20 || c == 0x85 || c == 0xa0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200a) || c == 0x2028 || c == 0x2029 || c == 0x202f || c == 0x205f ||
         c == 0x3000;
}

// True when trimming White_Space from both ends would leave nothing, which is
// the same as every code point being White_Space.
bool blank(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto code = next_code_point(text, i);
    if (!code || !is_white_space(*code)) return false;
  }
  return true;
}

// The zero-terminated copy the SDK gets, refused when a zero byte would cut
// it short. A vector keeps its buffer when moved (a short std::string would
// not), so the pointer handed to the SDK stays valid in the instance.
using CString = std::vector<char>;

Result<CString, NdiError> c_string(const std::string& text) {
  const std::size_t zero = text.find('\0');
  if (zero == std::string::npos) {
    CString copy(text.begin(), text.end());
    copy.push_back('\0');
    return copy;
  }
  return Err{
      NdiError::invalid_c_string(NulError{zero, std::vector<uint8_t>(text.begin(), text.end())})};
}

}  // namespace

// Owns the SDK handle and the strings it refers to. Members go in reverse
// order after the destructor body: the strings are freed after the SDK
// instance is destroyed, and the library reference is given back last.
class SenderInstance {
 public:
  SenderInstance(NdiRuntime runtime, CString name, std::optional<CString> groups,
                 NDIlib_send_instance_t handle)
      : runtime_(std::move(runtime)),
        name_(std::move(name)),
        groups_(std::move(groups)),
        handle_(handle) {}
  SenderInstance(const SenderInstance&) = delete;
  SenderInstance& operator=(const SenderInstance&) = delete;

  ~SenderInstance() {
    {
      std::lock_guard lock(flush_lock());
      NDIlib_send_send_video_async_v2(handle_, nullptr);
    }
    NDIlib_send_destroy(handle_);
  }

  NDIlib_send_instance_t handle() const noexcept { return handle_; }

 private:
  NdiRuntime runtime_;
  CString name_;
  std::optional<CString> groups_;
  NDIlib_send_instance_t handle_;
};

Result<NdiSender, NdiError> NdiSender::create(const SenderOptions& options) {
  if (blank(options.name)) {
    return Err{
        NdiError::invalid_configuration("Sender name cannot be empty or contain only whitespace")};
  }
  if (!options.clock_video && !options.clock_audio) {
    return Err{
        NdiError::invalid_configuration("At least one of clock_video or clock_audio must be true")};
  }
  auto name = c_string(options.name);
  if (!name) return Err{std::move(name).error()};
  std::optional<CString> groups;
  if (options.groups) {
    auto converted = c_string(*options.groups);
    if (!converted) return Err{std::move(converted).error()};
    groups = std::move(converted).value();
  }

  NDIlib_send_create_t settings{};
  settings.p_ndi_name = name->data();
  settings.p_groups = groups ? groups->data() : nullptr;
  settings.clock_video = options.clock_video;
  settings.clock_audio = options.clock_audio;
  NDIlib_send_instance_t handle = NDIlib_send_create(&settings);
  if (handle == nullptr) {
    return Err{NdiError::initialization_failed("Failed to create NDI send instance")};
  }

  // The caller's reference keeps the library up, so this cannot fail.
  auto runtime = NdiRuntime::acquire();
  if (!runtime) fatal("Runtime should be initialized when cloning existing NDI handle");
  return NdiSender(std::make_shared<const SenderInstance>(
      std::move(runtime).value(), std::move(name).value(), std::move(groups), handle));
}

const SenderInstance& NdiSender::instance() const {
  if (!instance_) fatal("NdiSender used after it was moved from");
  return *instance_;
}

NDIlib_send_instance_t NdiSender::handle() const noexcept {
  return instance_ ? instance_->handle() : nullptr;
}

void NdiSender::send_video(const VideoFrame& frame) const {
  const NDIlib_video_frame_v2_t descriptor = frame.descriptor();
  NDIlib_send_send_video_v2(instance().handle(), &descriptor);
}

void NdiSender::send_audio(const AudioFrame& frame) const {
  if (frame.fourcc() != NDIlib_FourCC_audio_type_FLTP) {
    fatal("owned AudioFrame always has a concrete audio format");
  }
  const NDIlib_audio_frame_v3_t descriptor = frame.descriptor();
  NDIlib_send_send_audio_v3(instance().handle(), &descriptor);
}

}  // namespace tarvix::ndi
