#include "ndi/error.h"

#include <array>
#include <cstdio>

namespace tarvix::ndi {
namespace {

struct KindText {
  std::string_view name;
  std::string_view display_prefix;  // the display text is prefix + payload
  std::string_view field;           // named field of the debug form, if any
};

// One row per kind, in enum order.
constexpr std::array<KindText, 15> kTexts{{
    {"InitializationFailed", "Failed to initialize the NDI runtime: ", ""},
    {"NullPointer", "Encountered a null pointer in function: ", ""},
    {"InvalidUtf8", "Invalid UTF-8 string in data: ", ""},
    {"InvalidCString", "Invalid CString: ", ""},
    {"CaptureFailed", "Failed to capture frame: ", ""},
    {"InvalidFrame", "Invalid frame data: ", ""},
    {"PtzCommandFailed", "PTZ command failed: ", ""},
    {"InvalidConfiguration", "Invalid configuration: ", ""},
    {"Io", "", ""},
    {"Timeout", "Operation timed out: ", ""},
    {"FrameTimeout", "Frame capture timed out after ", ""},
    {"SourceUnavailable", "NDI source became unavailable: ", "source_name"},
    {"Disconnected", "Receiver disconnected from source: ", "reason"},
    {"NoSourcesFound", "No NDI sources found matching: ", "criteria"},
    {"SpawnFailed", "Failed to spawn blocking task: ", ""},
}};

const KindText& texts(NdiErrorKind kind) {
  return kTexts.at(static_cast<std::size_t>(kind));
}

std::string nul_error_display(const NulError& nul) {
  return "nul byte found in provided data at position: " + std::to_string(nul.position);
}

std::string nul_error_debug(const NulError& nul) {
  std::string out = "NulError(" + std::to_string(nul.position) + ", [";
  for (std::size_t i = 0; i < nul.bytes.size(); ++i) {
    if (i != 0) out += ", ";
    out += std::to_string(nul.bytes[i]);
  }
  return out + "])";
}

std::string io_debug(const std::error_code& code) {
  return "Os { code: " + std::to_string(code.value()) +
         ", message: " + quoted_literal(code.message()) + " }";
}

// Prints whole + fraction/10^digits with trailing zeros dropped.
std::string decimal(uint64_t whole, uint64_t fraction, std::size_t digits) {
  std::string out = std::to_string(whole);
  if (fraction == 0) return out;
  std::string frac = std::to_string(fraction);
  frac.insert(0, digits - frac.size(), '0');
  while (frac.back() == '0')
    frac.pop_back();
  return out + "." + frac;
}

}  // namespace

std::string_view kind_name(NdiErrorKind kind) noexcept {
  return texts(kind).name;
}

NdiError NdiError::with_text(NdiErrorKind kind, std::string text) {
  return NdiError(kind, std::move(text));
}

NdiError NdiError::invalid_c_string(NulError nul) {
  return NdiError(NdiErrorKind::InvalidCString, std::move(nul));
}

NdiError NdiError::io(std::error_code code) {
  return NdiError(NdiErrorKind::Io, code);
}

NdiError NdiError::frame_timeout(uint64_t attempts, std::chrono::nanoseconds elapsed) {
  return NdiError(NdiErrorKind::FrameTimeout, FrameTimeoutInfo{attempts, elapsed});
}

const std::string& NdiError::text() const noexcept {
  static const std::string empty;
  const auto* text = std::get_if<std::string>(&payload_);
  return text ? *text : empty;
}

std::string NdiError::display() const {
  const std::string prefix(texts(kind_).display_prefix);
  if (const auto* nul = std::get_if<NulError>(&payload_)) return prefix + nul_error_display(*nul);
  if (const auto* code = std::get_if<std::error_code>(&payload_)) return code->message();
  if (const auto* timeout = std::get_if<FrameTimeoutInfo>(&payload_)) {
    return prefix + std::to_string(timeout->attempts) + " attempts (" +
           duration_debug(timeout->elapsed) + ")";
  }
  return prefix + text();
}

std::string NdiError::debug() const {
  const KindText& row = texts(kind_);
  std::string out(row.name);
  if (const auto* nul = std::get_if<NulError>(&payload_))
    return out + "(" + nul_error_debug(*nul) + ")";
  if (const auto* code = std::get_if<std::error_code>(&payload_))
    return out + "(" + io_debug(*code) + ")";
  if (const auto* timeout = std::get_if<FrameTimeoutInfo>(&payload_)) {
    return out + " { attempts: " + std::to_string(timeout->attempts) +
           ", elapsed: " + duration_debug(timeout->elapsed) + " }";
  }
  if (!row.field.empty()) {
    return out + " { " + std::string(row.field) + ": " + quoted_literal(text()) + " }";
  }
  return out + "(" + quoted_literal(text()) + ")";
}

std::string quoted_literal(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\0':
        out += "\\0";
        break;
      default:
        if (byte < 0x20 || byte == 0x7f) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u{%x}", byte);
          out += escaped;
        } else {
          out += c;  // multi-byte UTF-8 passes through unchanged
        }
    }
  }
  return out + "\"";
}

std::string duration_debug(std::chrono::nanoseconds duration) {
  const int64_t count = duration.count();
  // Unsigned magnitude, so the most negative value does not overflow.
  const uint64_t ns = count < 0 ? 0 - static_cast<uint64_t>(count) : static_cast<uint64_t>(count);
  const std::string sign = count < 0 ? "-" : "";
  if (ns >= 1'000'000'000) return sign + decimal(ns / 1'000'000'000, ns % 1'000'000'000, 9) + "s";
  if (ns >= 1'000'000) return sign + decimal(ns / 1'000'000, ns % 1'000'000, 6) + "ms";
  if (ns >= 1'000) return sign + decimal(ns / 1'000, ns % 1'000, 3) + "\u00b5s";
  return sign + std::to_string(ns) + "ns";
}

}  // namespace tarvix::ndi
