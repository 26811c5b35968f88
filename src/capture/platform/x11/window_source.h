// The X resources that make one window readable: our event selection on it,
// its redirection to an off-screen pixmap (Composite, automatic mode, so
// covered and off-screen parts keep their pixels), the pixmap named for it,
// and a Damage object that reports changed content. Used on the capture
// thread only; the destructor gives everything back.
#pragma once

#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <memory>

#include "capture/platform/x11/window_info.h"
#include "capture/platform/x11/x_connection.h"
#include "capture/platform/x11/x_reply.h"

namespace tarvix::capture::platform::x11 {

// Where the window's pixels can be read, and how many there are.
struct Surface {
  xcb_drawable_t drawable = 0;
  // The content's offset within the drawable (a named pixmap includes the border).
  std::int16_t x = 0, y = 0;
  std::uint16_t width = 0, height = 0;
};

class WindowSource {
 public:
  // Fails only when the window is gone; without Composite or Damage it
  // reads the window itself or treats every frame as changed.
  static XResult<std::unique_ptr<WindowSource>> open(std::shared_ptr<XConnection> connection,
                                                     const WindowInfo& window);

  WindowSource(std::shared_ptr<XConnection> connection, const WindowInfo& window);
  WindowSource(const WindowSource&) = delete;
  WindowSource& operator=(const WindowSource&) = delete;
  ~WindowSource();

  // Names the window's pixmap again (after a map or a size change) and frees
  // the old one. Fails with BadMatch while the window is not viewable.
  XResult<Surface> refresh();
  // Marks the content as seen, so the next change is reported again.
  void subtract_damage();
  bool tracks_damage() const noexcept { return damage_ != 0; }

 private:
  XResult<void> redirect();
  void create_damage();
  void free_pixmap() noexcept;

  std::shared_ptr<XConnection> connection_;
  WindowInfo window_;
  bool redirected_ = false;
  xcb_pixmap_t pixmap_ = 0;
  xcb_damage_damage_t damage_ = 0;
};

}  // namespace tarvix::capture::platform::x11
