#include "addon/output_session.h"

#include <utility>

#include "addon/audio_sender_registry.h"
#include "addon/capture_registry.h"
#include "addon/window_handle.h"
#include "capture/capture_thread.h"
#include "ndi/frame_forwarder.h"
#include "ndi/runtime.h"
#include "ndi/sender.h"

namespace tarvix::addon {
namespace {

std::string ndi_failure(const ndi::NdiError& error) {
  return "NDI initialization failed: " + error.debug();
}

ndi::SenderOptions sender_options(const std::string& name) {
  ndi::SenderOptions options;
  options.name = name;
  options.clock_video = true;
  options.clock_audio = false;
  return options;
}

// The same for every output; only the window comes from the script.
capture::CaptureSettings capture_settings(capture::platform::WindowHandle window,
                                          const ndi::NdiSender& sender) {
  capture::CaptureSettings settings;
  settings.window = window;
  settings.cursor = capture::CursorSetting::Off;
  settings.border = capture::BorderSetting::Off;
  settings.pixel_format = capture::platform::kPixelFormatBgra8;  // the forwarder reads BGRA
  settings.handler_factory = ndi::NdiFrameForwarder::factory(sender);
  return settings;
}

}  // namespace

OperationResult start_output(capture::platform::Platform& platform,
                             std::span<const std::byte> window_handle, const std::string& output_id,
                             const std::string& sender_name) {
  // Held to the end, the wait for the capture thread included; locals
  // declared after it (the sender above all) are released before it.
  CaptureRegistry::Locked captures = CaptureRegistry::instance().lock();
  if (captures.contains(output_id)) return {};

  auto window = decode_window_handle(window_handle);
  if (!window) return Err{std::move(window).error()};
  auto runtime = ndi::NdiRuntime::acquire();
  if (!runtime) return Err{ndi_failure(runtime.error())};
  auto sender = ndi::NdiSender::create(sender_options(sender_name));
  if (!sender) return Err{ndi_failure(sender.error())};  // gives the runtime reference back
  captures.keep_runtime(std::move(runtime).value());

  auto control =
      capture::start_capture_thread(capture_settings(window.value(), sender.value()), platform);
  // The capture thread has dropped its handle already; ours is the last one,
  // so the source disappears again when this returns.
  if (!control) return Err{display(control.error())};

  // No audio entry can outlive its capture entry, so nothing is replaced.
  AudioSenderRegistry::instance().insert(output_id, sender.value());
  captures.insert(output_id, std::move(control).value());
  return {};
}

OperationResult stop_output(const std::string& output_id) {
  // The audio entry goes under the capture lock, in the order start takes
  // the two: removed before it, a start racing this stop could insert both
  // entries in between, and the audio entry would outlive its capture.
  CaptureRegistry::Locked captures = CaptureRegistry::instance().lock();
  // Audio for the id stops first; the sender lives on in the capture handler.
  AudioSenderRegistry::instance().remove(output_id);
  std::optional<capture::CaptureControl> control = captures.remove(output_id);
  if (!control) return {};
  auto stopped = control->stop();
  // Dropping the control releases the handler and with it, normally, the
  // last handle of the sender: the source is flushed and withdrawn here,
  // after the capture thread has ended.
  control.reset();
  if (!stopped) return Err{display(stopped.error())};
  return {};
}

}  // namespace tarvix::addon
