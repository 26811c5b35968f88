#include "ndi/error.h"

#include <gtest/gtest.h>

namespace tarvix::ndi {
namespace {

using namespace std::chrono_literals;

TEST(NdiErrorTest, TextKindsDisplayWithTheirPrefix) {
  const std::pair<NdiErrorKind, const char*> cases[] = {
      {NdiErrorKind::InitializationFailed, "Failed to initialize the NDI runtime: x"},
      {NdiErrorKind::NullPointer, "Encountered a null pointer in function: x"},
      {NdiErrorKind::InvalidUtf8, "Invalid UTF-8 string in data: x"},
      {NdiErrorKind::CaptureFailed, "Failed to capture frame: x"},
      {NdiErrorKind::InvalidFrame, "Invalid frame data: x"},
      {NdiErrorKind::PtzCommandFailed, "PTZ command failed: x"},
      {NdiErrorKind::InvalidConfiguration, "Invalid configuration: x"},
      {NdiErrorKind::Timeout, "Operation timed out: x"},
      {NdiErrorKind::SourceUnavailable, "NDI source became unavailable: x"},
      {NdiErrorKind::Disconnected, "Receiver disconnected from source: x"},
      {NdiErrorKind::NoSourcesFound, "No NDI sources found matching: x"},
      {NdiErrorKind::SpawnFailed, "Failed to spawn blocking task: x"},
  };
  for (const auto& [kind, display] : cases) {
    EXPECT_EQ(NdiError::with_text(kind, "x").display(), display);
  }
}

TEST(NdiErrorTest, DebugFormQuotesTextPayloads) {
  EXPECT_EQ(NdiError::initialization_failed("NDIlib_initialize failed").debug(),
            "InitializationFailed(\"NDIlib_initialize failed\")");
  EXPECT_EQ(NdiError::invalid_frame("a \"b\" \\ c\n\t\r\x01\x7f\u00e9").debug(),
            "InvalidFrame(\"a \\\"b\\\" \\\\ c\\n\\t\\r\\u{1}\\u{7f}\u00e9\")");
  EXPECT_EQ(NdiError::with_text(NdiErrorKind::SourceUnavailable, "Cam \"1\"").debug(),
            "SourceUnavailable { source_name: \"Cam \\\"1\\\"\" }");
  EXPECT_EQ(NdiError::with_text(NdiErrorKind::Disconnected, "gone").debug(),
            "Disconnected { reason: \"gone\" }");
  EXPECT_EQ(NdiError::with_text(NdiErrorKind::NoSourcesFound, "*").debug(),
            "NoSourcesFound { criteria: \"*\" }");
}

TEST(NdiErrorTest, NulErrorShowsPositionAndBytes) {
  const NdiError error = NdiError::invalid_c_string({3, {97, 98, 99, 0, 100}});
  EXPECT_EQ(error.display(), "Invalid CString: nul byte found in provided data at position: 3");
  EXPECT_EQ(error.debug(), "InvalidCString(NulError(3, [97, 98, 99, 0, 100]))");
}

TEST(NdiErrorTest, FrameTimeoutHasNamedFields) {
  const NdiError error = NdiError::frame_timeout(3, 1500ms);
  EXPECT_EQ(error.display(), "Frame capture timed out after 3 attempts (1.5s)");
  EXPECT_EQ(error.debug(), "FrameTimeout { attempts: 3, elapsed: 1.5s }");
}

TEST(NdiErrorTest, DurationsPrintInTheirLargestUnit) {
  EXPECT_EQ(duration_debug(0ns), "0ns");
  EXPECT_EQ(duration_debug(999ns), "999ns");
  EXPECT_EQ(duration_debug(1500ns), "1.5\u00b5s");
  EXPECT_EQ(duration_debug(250ms), "250ms");
  EXPECT_EQ(duration_debug(2s + 5ns), "2.000000005s");
}

TEST(NdiErrorTest, IoShowsTheSystemText) {
  const auto code = std::make_error_code(std::errc::no_such_file_or_directory);
  const NdiError error = NdiError::io(code);
  EXPECT_EQ(error.display(), code.message());
  EXPECT_EQ(error.debug(), "Io(Os { code: " + std::to_string(code.value()) + ", message: \"" +
                               code.message() + "\" })");
}

}  // namespace
}  // namespace tarvix::ndi
