#include "ndi/error.h"

#include <gtest/gtest.h>

namespace tarvix::ndi {
namespace {

// Scripts see the debug form inside their messages; the display and debug
// forms of each raised kind are checked where it is raised.
TEST(NdiErrorTest, DebugFormEscapesTextPayloads) {
  EXPECT_EQ(NdiError::invalid_frame("a \"b\" \\ c\n\t\r\x01\x7f\u00e9").debug(),
            "InvalidFrame(\"a \\\"b\\\" \\\\ c\\n\\t\\r\\u{1}\\u{7f}\u00e9\")");
  EXPECT_EQ(NdiError::invalid_configuration("x").display(), "Invalid configuration: x");
}

}  // namespace
}  // namespace tarvix::ndi
