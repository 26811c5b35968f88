#include "capture/platform/x11/window_geometry.h"

#include <gtest/gtest.h>

#include <vector>

#include "capture/platform/x11/pixel_reader.h"
#include "capture/platform/x11/window_info.h"

namespace tarvix::capture::platform::x11 {
namespace {

// What the capture logic computes from the three values.
std::int64_t title_bar(const Placement& p, std::uint32_t dpi) {
  const Rect frame = frame_bounds(p, dpi);
  const Rect client = client_rect(p, dpi);
  return (frame.bottom - frame.top) - std::int64_t{client.bottom - client.top} * dpi / 96;
}

TEST(WindowGeometry, TitleBarComesOutAsTheTopExtentAtAnyDpi) {
  const Placement managed{100, 50, 640, 1001, {1, 1, 20, 5}};
  for (std::uint32_t dpi : {96u, 120u, 144u, 192u, 100u, 72u}) {
    SCOPED_TRACE(dpi);
    EXPECT_EQ(title_bar(managed, dpi), 20);
  }
  const Placement bare{0, 0, 300, 200, {}};
  EXPECT_EQ(title_bar(bare, 96), 0);
  EXPECT_EQ(title_bar(bare, 144), 0);
}

TEST(WindowGeometry, ClientRectIsLogicalAndFrameSurroundsTheClient) {
  const Placement p{100, 50, 300, 150, {2, 3, 20, 5}};
  EXPECT_EQ(client_rect(p, 96), (Rect{0, 0, 300, 150}));
  EXPECT_EQ(client_rect(p, 144), (Rect{0, 0, 200, 100}));
  EXPECT_EQ(frame_bounds(p, 96), (Rect{98, 30, 403, 200}));
}

TEST(WindowGeometry, DpiComesFromAPlausibleResourceOrScreenSize) {
  EXPECT_EQ(dpi_from_resource("144"), 144u);
  EXPECT_EQ(dpi_from_resource("96.4"), 96u);
  EXPECT_EQ(dpi_from_resource(""), 0u);
  EXPECT_EQ(dpi_from_resource("abc"), 0u);
  EXPECT_EQ(dpi_from_resource("0"), 0u);
  EXPECT_EQ(dpi_from_resource("1e9"), 0u);
  EXPECT_EQ(dpi_from_resource(nullptr), 0u);
  EXPECT_EQ(dpi_from_screen_size(1920, 508), 96u);
  EXPECT_EQ(dpi_from_screen_size(1920, 0), 0u);
}

TEST(WindowGeometry, DpiIsReadFromTheResourceManagerText) {
  const struct {
    const char* resources;
    std::uint32_t dpi;
  } cases[] = {
      {"Xft.dpi:\t144\n", 144},
      {"Xcursor.size: 24\nXft.antialias:\t1\n  Xft.dpi  :  120  \r\nXft.hinting:\t1", 120},
      {"*dpi: 192\n", 192},
      {"Xft*dpi: 110\n*.dpi: 130\n", 130},  // the later of two patterns
      {"Xft.dpi: 144\n*dpi: 192\n", 144},   // the plain name wins over a pattern
      {"*dpi: 192\nXft.dpi: 144\n", 144},
      {"?.dpi: 100\n", 100},
      {"Xft.dpi.extra: 100\nXterm*dpi: 100\n*Xft: 100\nXft.Dpi: 100\n", 0},
      {"! Xft.dpi: 144\n#Xft.dpi: 144\nXft.dpi 144\n", 0},
      {"Xft.dpi: 5000\n", 0},
      {"Xft.dpi:", 0},
      {"", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.resources);
    EXPECT_EQ(dpi_from_resource_database(c.resources), c.dpi);
  }
}

TEST(PixelReader, StripsStayUnderTheRequestLimit) {
  const std::uint32_t row = 5121 * 4;
  const std::uint32_t rows = strip_rows(16 * 1024 * 1024, row);
  EXPECT_LE(std::uint64_t{rows} * row + 32, 16u * 1024 * 1024);
  EXPECT_GT(rows, 800u);
  EXPECT_EQ(strip_rows(1000, row), 1u);  // always progress
}

}  // namespace
}  // namespace tarvix::capture::platform::x11
