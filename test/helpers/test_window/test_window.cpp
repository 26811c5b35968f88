// tarvix_test_window: an X11 window with a known picture, driven from standard
// input, for the capture tests, the demo and the benchmarks.
//
// Command line (the display comes from DISPLAY):
//   tarvix_test_window [--size WxH] [--pos X,Y] [--argb] [--phase N] [--title TEXT]
//     --size WxH   client size in pixels (default 320x240, at most 32767 each way)
//     --pos X,Y    position of the window on the root (default 0,0)
//     --argb       use a 32-bit ARGB visual; the picture then holds premultiplied
//                  translucent pixels (see pattern.h)
//     --phase N    starting phase of the picture (default 0)
//     --title T    window title (default "tarvix test window")
//
// Once the window is mapped and drawn it prints its id as "<decimal> 0x<hex>"
// on one line and flushes. Then it reads one command per line:
//   redraw [N]     draw the picture again, at phase N when given
//   resize W H     change the client size and draw at the new size
//   move X Y       move the window
//   raise          put the window above its siblings
//   map | unmap    show or hide the window
//   animate on|off draw a moving picture (phase + 1 about 60 times a second)
//   close          destroy the window, print "closed" and exit
// Every other command is answered with "ok" once the X server has carried it
// out (unknown or malformed ones with "error: ..."). The program exits when its
// input closes; the X server then destroys the window.
#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "pattern.h"

namespace {

using tarvix::test_window::pattern_pixel;

struct Options {
  std::uint16_t width = 320, height = 240;
  std::int16_t x = 0, y = 0;
  bool argb = false;
  std::uint32_t phase = 0;
  std::string title = "tarvix test window";
};

[[noreturn]] void die(const char* message) {
  std::fprintf(stderr, "tarvix_test_window: %s\n", message);
  std::exit(2);
}

bool parse_pair(const char* text, char separator, long& a, long& b) {
  char* end = nullptr;
  a = std::strtol(text, &end, 10);
  if (end == text || *end != separator) return false;
  const char* second = end + 1;
  b = std::strtol(second, &end, 10);
  return end != second && *end == '\0';
}

bool valid_size(long w, long h) {
  return w >= 1 && h >= 1 && w <= 32767 && h <= 32767;
}
bool valid_position(long x, long y) {
  return x >= -32768 && y >= -32768 && x <= 32767 && y <= 32767;
}

Options parse_options(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
    long a = 0, b = 0;
    if (arg == "--argb") {
      o.argb = true;
    } else if (arg == "--size" && next && parse_pair(next, 'x', a, b) && valid_size(a, b)) {
      o.width = static_cast<std::uint16_t>(a), o.height = static_cast<std::uint16_t>(b), ++i;
    } else if (arg == "--pos" && next && parse_pair(next, ',', a, b) && valid_position(a, b)) {
      o.x = static_cast<std::int16_t>(a), o.y = static_cast<std::int16_t>(b), ++i;
    } else if (arg == "--phase" && next) {
      o.phase = static_cast<std::uint32_t>(std::strtoul(next, nullptr, 10)), ++i;
    } else if (arg == "--title" && next) {
      o.title = next, ++i;
    } else {
      die("usage: tarvix_test_window [--size WxH] [--pos X,Y] [--argb] [--phase N] [--title T]");
    }
  }
  return o;
}

struct FreeDeleter {
  void operator()(void* p) const noexcept { std::free(p); }
};

class TestWindow {
 public:
  TestWindow(xcb_connection_t* c, const Options& o) : c_(c), o_(o) {}

  void create() {
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
    xcb_visualid_t visual = screen->root_visual;
    depth_ = screen->root_depth;
    colormap_ = screen->default_colormap;
    if (o_.argb) {
      visual = find_argb_visual(screen);
      depth_ = 32;
      colormap_ = xcb_generate_id(c_);
      xcb_create_colormap(c_, XCB_COLORMAP_ALLOC_NONE, colormap_, screen->root, visual);
    }
    id_ = xcb_generate_id(c_);
    // A depth other than the parent's needs its own border pixel and colormap.
    const std::uint32_t mask =
        XCB_CW_BACK_PIXMAP | XCB_CW_BORDER_PIXEL | XCB_CW_EVENT_MASK | XCB_CW_COLORMAP;
    const std::uint32_t values[] = {XCB_BACK_PIXMAP_NONE, 0,
                                    XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY,
                                    colormap_};
    xcb_create_window(c_, depth_, id_, screen->root, o_.x, o_.y, o_.width, o_.height, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, visual, mask, values);
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, id_, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<std::uint32_t>(o_.title.size()), o_.title.data());
    gc_ = xcb_generate_id(c_);
    xcb_create_gc(c_, gc_, id_, 0, nullptr);
    xcb_map_window(c_, id_);
    draw();
  }

  xcb_window_t id() const { return id_; }

  void draw() {
    const std::uint32_t row_bytes = std::uint32_t{o_.width} * 4;
    // Put-image requests are limited in length: send the picture in strips.
    const std::uint32_t max_bytes = xcb_get_maximum_request_length(c_) * 4 - 64;
    const std::uint32_t strip_rows = std::max<std::uint32_t>(1, max_bytes / row_bytes);
    std::vector<std::uint8_t> strip(std::size_t{row_bytes} *
                                    std::min<std::uint32_t>(strip_rows, o_.height));
    for (std::uint32_t top = 0; top < o_.height; top += strip_rows) {
      const std::uint32_t rows = std::min<std::uint32_t>(strip_rows, o_.height - top);
      fill(strip.data(), top, rows);
      xcb_put_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, id_, gc_, o_.width,
                    static_cast<std::uint16_t>(rows), 0, static_cast<std::int16_t>(top), 0, depth_,
                    row_bytes * rows, strip.data());
    }
  }

  void set_phase(std::uint32_t phase) { o_.phase = phase; }
  void advance() { ++o_.phase; }

  void resize(std::uint16_t w, std::uint16_t h) {
    o_.width = w, o_.height = h;
    const std::uint32_t values[] = {w, h};
    xcb_configure_window(c_, id_, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
    draw();
  }

  void move(std::int16_t x, std::int16_t y) {
    const std::uint32_t values[] = {static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)};
    xcb_configure_window(c_, id_, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, values);
  }

  void raise() {
    const std::uint32_t values[] = {XCB_STACK_MODE_ABOVE};
    xcb_configure_window(c_, id_, XCB_CONFIG_WINDOW_STACK_MODE, values);
  }

  void destroy() { xcb_destroy_window(c_, id_); }

 private:
  static xcb_visualid_t find_argb_visual(xcb_screen_t* screen) {
    for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem; xcb_depth_next(&d)) {
      if (d.data->depth != 32) continue;
      for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
        if (v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR) return v.data->visual_id;
      }
    }
    die("the screen has no 32-bit TrueColor visual");
  }

  // Z-pixmap rows with 32 bits per pixel in the server's (little-endian) order
  // are B, G, R, A bytes; a 24-bit window ignores the fourth.
  void fill(std::uint8_t* out, std::uint32_t top, std::uint32_t rows) const {
    for (std::uint32_t y = top; y < top + rows; ++y) {
      for (std::uint32_t x = 0; x < o_.width; ++x) {
        const auto p = pattern_pixel(o_.argb, x, y, o_.phase);
        *out++ = p.b, *out++ = p.g, *out++ = p.r, *out++ = p.a;
      }
    }
  }

  xcb_connection_t* c_;
  Options o_;
  xcb_window_t id_ = 0;
  xcb_gcontext_t gc_ = 0;
  xcb_colormap_t colormap_ = 0;
  std::uint8_t depth_ = 24;
};

// Waits until the server has carried out every request sent so far.
void sync(xcb_connection_t* c) {
  std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

class Driver {
 public:
  Driver(xcb_connection_t* c, TestWindow& w) : c_(c), w_(w) {}

  // Returns false when the program should end.
  bool run_command(const std::string& line) {
    std::istringstream in(line);
    std::string cmd;
    in >> cmd;
    long a = 0, b = 0;
    if (cmd.empty()) return true;
    if (cmd == "close") {
      w_.destroy();
      sync(c_);
      reply("closed");
      return false;
    }
    if (cmd == "redraw") {
      if (in >> a) w_.set_phase(static_cast<std::uint32_t>(a));
      w_.draw();
    } else if (cmd == "resize" && in >> a >> b && valid_size(a, b)) {
      w_.resize(static_cast<std::uint16_t>(a), static_cast<std::uint16_t>(b));
    } else if (cmd == "move" && in >> a >> b && valid_position(a, b)) {
      w_.move(static_cast<std::int16_t>(a), static_cast<std::int16_t>(b));
    } else if (cmd == "raise") {
      w_.raise();
    } else if (cmd == "map") {
      xcb_map_window(c_, w_.id());
    } else if (cmd == "unmap") {
      xcb_unmap_window(c_, w_.id());
    } else if (cmd == "animate") {
      std::string mode;
      in >> mode;
      if (mode != "on" && mode != "off") return reply("error: animate on|off"), true;
      animating_ = mode == "on";
    } else {
      reply(("error: unknown or malformed command: " + line).c_str());
      return true;
    }
    sync(c_);
    reply("ok");
    return true;
  }

  void handle_events() {
    while (std::unique_ptr<xcb_generic_event_t, FreeDeleter> e{xcb_poll_for_event(c_)}) {
      const auto type = e->response_type & 0x7f;
      if (type == XCB_EXPOSE && reinterpret_cast<xcb_expose_event_t*>(e.get())->count == 0) {
        w_.draw();
      }
    }
    xcb_flush(c_);
  }

  bool animating() const { return animating_; }
  void animate_step() {
    w_.advance();
    w_.draw();
    xcb_flush(c_);
  }

 private:
  static void reply(const char* text) {
    std::printf("%s\n", text);
    std::fflush(stdout);
  }

  xcb_connection_t* c_;
  TestWindow& w_;
  bool animating_ = false;
};

// Splits standard input into lines; returns false once it has closed.
bool read_lines(std::string& pending, std::vector<std::string>& lines) {
  char chunk[4096];
  const ssize_t n = read(STDIN_FILENO, chunk, sizeof chunk);
  if (n <= 0) return false;
  pending.append(chunk, static_cast<std::size_t>(n));
  for (std::size_t nl; (nl = pending.find('\n')) != std::string::npos;) {
    lines.push_back(pending.substr(0, nl));
    pending.erase(0, nl + 1);
  }
  return true;
}

int run(xcb_connection_t* c, const Options& options) {
  TestWindow window(c, options);
  window.create();
  sync(c);
  std::printf("%" PRIu32 " 0x%" PRIx32 "\n", window.id(), window.id());
  std::fflush(stdout);

  Driver driver(c, window);
  std::string pending;
  using Clock = std::chrono::steady_clock;
  auto next_step = Clock::now();
  for (;;) {
    driver.handle_events();
    if (xcb_connection_has_error(c)) return 1;
    int timeout = -1;
    if (driver.animating()) {
      const auto now = Clock::now();
      if (now >= next_step) {
        driver.animate_step();
        next_step = now + std::chrono::milliseconds(16);
      }
      // A step that overran its slot (a loaded machine) is due at once; a
      // negative timeout would make poll wait forever and stop the animation.
      timeout = static_cast<int>(std::max<std::int64_t>(
          0, std::chrono::ceil<std::chrono::milliseconds>(next_step - Clock::now()).count()));
    }
    pollfd fds[] = {{STDIN_FILENO, POLLIN, 0}, {xcb_get_file_descriptor(c), POLLIN, 0}};
    if (poll(fds, 2, timeout) < 0) continue;
    if (fds[0].revents == 0) continue;
    std::vector<std::string> lines;
    const bool open = read_lines(pending, lines);
    for (const auto& line : lines) {
      if (!driver.run_command(line)) return 0;
    }
    if (!open) return 0;
  }
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = parse_options(argc, argv);
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(c)) die("cannot open the X display named by DISPLAY");
  const int status = run(c, options);
  xcb_disconnect(c);
  return status;
}
