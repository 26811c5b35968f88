// One NDI send instance: the named source that receivers see. NdiSender is a
// shared handle; copies address the same instance, and the last copy to go
// flushes and destroys it and gives its library reference back.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "ndi/audio_frame.h"
#include "ndi/error.h"
#include "ndi/sdk.h"
#include "ndi/video_frame.h"
#include "support/result.h"

namespace tarvix::ndi {

struct SenderOptions {
  std::string name;
  std::optional<std::string> groups;
  bool clock_video = true;
  bool clock_audio = false;
};

class SenderInstance;

class NdiSender {
 public:
  // The caller must already hold an NdiRuntime reference. On failure nothing
  // stays allocated and no reference is taken.
  static Result<NdiSender, NdiError> create(const SenderOptions& options);

  // Synchronous: the frame may be freed or reused as soon as these return.
  // Video and audio may be sent from two threads at once.
  void send_video(const VideoFrame& frame) const;
  void send_audio(const AudioFrame& frame) const;

  NDIlib_send_instance_t handle() const noexcept;

 private:
  explicit NdiSender(std::shared_ptr<const SenderInstance> instance)
      : instance_(std::move(instance)) {}
  const SenderInstance& instance() const;

  std::shared_ptr<const SenderInstance> instance_;
};

}  // namespace tarvix::ndi
