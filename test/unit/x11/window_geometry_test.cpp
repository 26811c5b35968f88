// The dpi of a screen and the title bar measured at it; a capture on Xvfb
// sees neither a resource nor a dpi other than 96.
#include "capture/platform/x11/window_geometry.h"

#include <gtest/gtest.h>

namespace tarvix::capture::platform::x11 {
namespace {

// The title bar as the capture logic measures it: the frame's height less the
// client's, scaled back to physical pixels.
TEST(WindowGeometry, TitleBarComesOutAsTheTopExtentAtAnyDpi) {
  const Placement managed{100, 50, 640, 1001, {1, 1, 20, 5}};
  const Placement bare{0, 0, 300, 200, {}};
  for (std::uint32_t dpi : {96u, 120u, 144u, 192u, 100u, 72u}) {
    SCOPED_TRACE(dpi);
    for (const auto& [placement, top] : {std::pair{managed, 20}, std::pair{bare, 0}}) {
      const Rect frame = frame_bounds(placement, dpi);
      const Rect client = client_rect(placement, dpi);
      EXPECT_EQ((frame.bottom - frame.top) - std::int64_t{client.bottom - client.top} * dpi / 96,
                top);
    }
  }
}

TEST(WindowGeometry, DpiIsReadFromTheResourceManagerTextOrTheScreenSize) {
  const struct {
    const char* resources;
    std::uint32_t dpi;
  } cases[] = {
      {"Xft.dpi:\t144\n", 144},
      {"Xcursor.size: 24\nXft.antialias:\t1\n  Xft.dpi  :  96.4  \r\nXft.hinting:\t1", 96},
      {"*dpi: 192\n", 192},
      {"Xft*dpi: 110\n*.dpi: 130\n", 130},  // the later of two patterns
      {"Xft.dpi: 144\n*dpi: 192\n", 144},   // the plain name wins over a pattern
      {"*dpi: 192\nXft.dpi: 144\n", 144},
      {"?.dpi: 100\n", 100},
      {"Xft.dpi.extra: 100\nXterm*dpi: 100\n*Xft: 100\nXft.Dpi: 100\n", 0},
      {"! Xft.dpi: 144\n#Xft.dpi: 144\nXft.dpi 144\n", 0},
      {"Xft.dpi: abc\n", 0},
      {"Xft.dpi: 0\n", 0},
      {"Xft.dpi: 5000\n", 0},
      {"", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.resources);
    EXPECT_EQ(dpi_from_resource_database(c.resources), c.dpi);
  }
  EXPECT_EQ(dpi_from_resource(nullptr), 0u);
  EXPECT_EQ(dpi_from_screen_size(1920, 508), 96u);
  EXPECT_EQ(dpi_from_screen_size(1920, 0), 0u);
}

}  // namespace
}  // namespace tarvix::capture::platform::x11
