// The NDI output layer's one error type. Each kind has a display text (what a
// person reads) and a debug form (kind name with its payload), which the
// script sees after "NDI initialization failed: ".
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>
#include <variant>
#include <vector>

namespace tarvix::ndi {

enum class NdiErrorKind {
  InitializationFailed,
  NullPointer,
  InvalidUtf8,
  InvalidCString,
  CaptureFailed,
  InvalidFrame,
  PtzCommandFailed,
  InvalidConfiguration,
  Io,
  Timeout,
  FrameTimeout,
  SourceUnavailable,
  Disconnected,
  NoSourcesFound,
  SpawnFailed,
};

std::string_view kind_name(NdiErrorKind kind) noexcept;

// A zero byte where a C string cannot have one.
struct NulError {
  uint64_t position = 0;
  std::vector<uint8_t> bytes;
};

struct FrameTimeoutInfo {
  uint64_t attempts = 0;
  std::chrono::nanoseconds elapsed{0};
};

class NdiError {
 public:
  // Needed by Result<void, NdiError>; never reported as such.
  NdiError() = default;

  // The kinds whose payload is one text (all but InvalidCString, Io and
  // FrameTimeout).
  static NdiError with_text(NdiErrorKind kind, std::string text);
  static NdiError initialization_failed(std::string text) {
    return with_text(NdiErrorKind::InitializationFailed, std::move(text));
  }
  static NdiError invalid_configuration(std::string text) {
    return with_text(NdiErrorKind::InvalidConfiguration, std::move(text));
  }
  static NdiError invalid_frame(std::string text) {
    return with_text(NdiErrorKind::InvalidFrame, std::move(text));
  }
  static NdiError invalid_c_string(NulError nul);
  static NdiError io(std::error_code code);
  static NdiError frame_timeout(uint64_t attempts, std::chrono::nanoseconds elapsed);

  NdiErrorKind kind() const noexcept { return kind_; }
  // The text payload; empty for the kinds that carry something else.
  const std::string& text() const noexcept;
  const NulError* nul_error() const noexcept { return std::get_if<NulError>(&payload_); }

  std::string display() const;
  std::string debug() const;

 private:
  using Payload = std::variant<std::string, NulError, std::error_code, FrameTimeoutInfo>;
  NdiError(NdiErrorKind kind, Payload payload) : kind_(kind), payload_(std::move(payload)) {}

  NdiErrorKind kind_ = NdiErrorKind::InitializationFailed;
  Payload payload_;
};

// Debug-form helpers, exposed for the tests of their exact shapes.
std::string quoted_literal(std::string_view text);
std::string duration_debug(std::chrono::nanoseconds duration);

}  // namespace tarvix::ndi
