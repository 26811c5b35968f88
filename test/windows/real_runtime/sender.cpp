// Publishes a known picture and an audio ramp through
// Processing.NDI.Lib.x64.dll exactly as the module calls it (src/ndi/sdk.h),
// until the receiver says it has enough or a frame limit is reached, then
// flushes and withdraws the source. Writes what it sent as JSON lines.
//   sender.exe OUT_FILE DONE_FILE MAX_FRAMES
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ndi/sdk.h"

namespace {

constexpr int width = 256, height = 160, cell = 32;
constexpr int cell_rows = 4, cell_cols = width / cell, marker_bits = 8;
constexpr int rate = 48000, block = rate / 60;

long long now_us() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return count.QuadPart / frequency.QuadPart * 1000000 +
         count.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart;
}

struct Bgra {
  int b, g, r, a;
};

// Distinct in every channel from cell to cell, with alphas from opaque to
// transparent: colour under low alpha must survive as straight alpha.
Bgra cell_colour(int index) {
  static const int alphas[] = {255, 192, 128, 64, 0, 255, 32, 224};
  return {(index * 53 + 17) & 255, (index * 97 + 71) & 255, (index * 29 + 200) & 255,
          alphas[(index * 3) % 8]};
}

void fill(std::vector<uint8_t>& pixels, int x0, int y0, int w, int h, Bgra c) {
  for (int y = y0; y < y0 + h; ++y) {
    for (int x = x0; x < x0 + w; ++x) {
      uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
      p[0] = static_cast<uint8_t>(c.b), p[1] = static_cast<uint8_t>(c.g);
      p[2] = static_cast<uint8_t>(c.r), p[3] = static_cast<uint8_t>(c.a);
    }
  }
}

// Below the cells, one black or white block per bit of the frame number.
void paint_marker(std::vector<uint8_t>& pixels, int frame) {
  for (int bit = 0; bit < marker_bits; ++bit) {
    int v = (frame >> bit & 1) ? 255 : 0;
    fill(pixels, bit * cell, cell_rows * cell, cell, cell, {v, v, v, 255});
  }
}

std::string expectation() {
  std::string line =
      "{\"expect\":{\"width\":" + std::to_string(width) + ",\"height\":" + std::to_string(height) +
      ",\"aspect\":" + std::to_string(static_cast<double>(width) / height) +
      ",\"cell\":" + std::to_string(cell) + ",\"marker_row\":" + std::to_string(cell_rows) +
      ",\"marker_bits\":" + std::to_string(marker_bits) + ",\"rate\":" + std::to_string(rate) +
      ",\"block\":" + std::to_string(block) + ",\"cells\":[";
  for (int i = 0; i < cell_rows * cell_cols; ++i) {
    Bgra c = cell_colour(i);
    line += (i ? ",[" : "[") + std::to_string(c.b) + "," + std::to_string(c.g) + "," +
            std::to_string(c.r) + "," + std::to_string(c.a) + "]";
  }
  return line + "]}}\n";
}

// Channel 0 ramps from -0.5 up within each block; channel 1 holds the
// block's number / 1024, so order and loss show on the receiving side.
void fill_audio(std::vector<float>& samples, int number) {
  for (int i = 0; i < block; ++i) {
    samples[i] = -0.5f + static_cast<float>(i) / block;
    samples[block + i] = static_cast<float>(number) / 1024.0f;
  }
}

bool exists(const char* path) {
  return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: sender.exe OUT_FILE DONE_FILE MAX_FRAMES\n");
    return 2;
  }
  const int max_frames = std::atoi(argv[3]);
  std::string log = expectation();
  if (!NDIlib_initialize()) {
    std::fprintf(stderr, "sender: NDIlib_initialize failed\n");
    return 1;
  }
  NDIlib_send_create_t settings{"tarvix real-runtime check", nullptr, true, false};
  NDIlib_send_instance_t sender = NDIlib_send_create(&settings);
  if (sender == nullptr) {
    std::fprintf(stderr, "sender: NDIlib_send_create failed\n");
    return 1;
  }
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
  for (int i = 0; i < cell_rows * cell_cols; ++i)
    fill(pixels, i % cell_cols * cell, i / cell_cols * cell, cell, cell, cell_colour(i));
  std::vector<float> samples(2 * block);

  int frame = 0;
  for (; frame < max_frames && !exists(argv[2]); ++frame) {
    paint_marker(pixels, frame);
    NDIlib_video_frame_v2_t video{width,
                                  height,
                                  NDIlib_FourCC_video_type_BGRA,
                                  60,
                                  1,
                                  static_cast<float>(width) / height,
                                  NDIlib_frame_format_type_progressive,
                                  NDIlib_send_timecode_synthesize,
                                  pixels.data(),
                                  width * 4,
                                  nullptr,
                                  0};
    // Clocked video blocks the call until the frame's slot: both ends count.
    long long called = now_us();
    NDIlib_send_send_video_v2(sender, &video);
    log += "{\"sent\":" + std::to_string(frame) + ",\"t\":" + std::to_string(called) +
           ",\"returned\":" + std::to_string(now_us()) + "}\n";
    fill_audio(samples, frame);
    NDIlib_audio_frame_v3_t audio{rate,
                                  2,
                                  block,
                                  NDIlib_send_timecode_synthesize,
                                  NDIlib_FourCC_audio_type_FLTP,
                                  reinterpret_cast<uint8_t*>(samples.data()),
                                  block * 4,
                                  nullptr,
                                  0};
    NDIlib_send_send_audio_v3(sender, &audio);
  }
  NDIlib_send_send_video_async_v2(sender, nullptr);
  long long destroy_from = now_us();
  NDIlib_send_destroy(sender);
  log += "{\"stopped\":" + std::to_string(now_us()) +
         ",\"destroy_us\":" + std::to_string(now_us() - destroy_from) +
         ",\"frames\":" + std::to_string(frame) + "}\n";
  NDIlib_destroy();

  std::FILE* out = std::fopen(argv[1], "w");
  if (out == nullptr || std::fputs(log.c_str(), out) < 0 || std::fclose(out) != 0) return 1;
  return 0;
}
