// A receiver on the real 3.5 runtime (ndi_runtime_3_5.dll next to this
// program): connects by URL, asks for BGRX/BGRA so alpha is kept, and writes
// what arrives as JSON lines: each video frame's descriptor with the centre
// pixel of every PITCH x PITCH block, each audio block with its samples, and
// when the source went away. Creates DONE_FILE once it holds MIN_FRAMES
// frames; ends when the source is gone or after TIMEOUT_MS.
//   receiver.exe URL OUT_FILE DONE_FILE MIN_FRAMES PITCH TIMEOUT_MS
#include <Processing.NDI.Lib.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "port_close_fix.h"

namespace {

constexpr long long retry_us = 2000000;

long long now_us() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return count.QuadPart / frequency.QuadPart * 1000000 +
         count.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart;
}

struct Receive {
  decltype(&NDIlib_initialize) initialize;
  decltype(&NDIlib_destroy) destroy;
  decltype(&NDIlib_recv_create_v3) create;
  decltype(&NDIlib_recv_destroy) destroy_receiver;
  decltype(&NDIlib_recv_capture_v2) capture;
  decltype(&NDIlib_recv_free_video_v2) free_video;
  decltype(&NDIlib_recv_free_audio_v2) free_audio;
  decltype(&NDIlib_recv_get_no_connections) connections;
  decltype(&NDIlib_recv_connect) connect;
};

template <typename F>
bool resolve(HMODULE library, const char* name, F* function) {
  *function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(library, name)));
  return *function != nullptr;
}

bool load(Receive* api) {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring file(path, length);
  file = file.substr(0, file.find_last_of(L"\\/") + 1) + L"ndi_runtime_3_5.dll";
  HMODULE library = LoadLibraryExW(file.c_str(), nullptr, 0);
  if (library == nullptr) return false;
  if (running_under_wine()) apply_port_close_fix(library);
  return resolve(library, "NDIlib_initialize", &api->initialize) &&
         resolve(library, "NDIlib_destroy", &api->destroy) &&
         resolve(library, "NDIlib_recv_create_v3", &api->create) &&
         resolve(library, "NDIlib_recv_destroy", &api->destroy_receiver) &&
         resolve(library, "NDIlib_recv_capture_v2", &api->capture) &&
         resolve(library, "NDIlib_recv_free_video_v2", &api->free_video) &&
         resolve(library, "NDIlib_recv_free_audio_v2", &api->free_audio) &&
         resolve(library, "NDIlib_recv_get_no_connections", &api->connections) &&
         resolve(library, "NDIlib_recv_connect", &api->connect);
}

std::string video_line(const NDIlib_video_frame_v2_t& v, int pitch, long long at) {
  char head[320];
  std::snprintf(head, sizeof head,
                "{\"video\":{\"t\":%lld,\"xres\":%d,\"yres\":%d,\"fourcc\":%u,\"n\":%d,\"d\":%d,"
                "\"aspect\":%.9g,\"format\":%d,\"stride\":%d,\"timecode\":%lld,"
                "\"timestamp\":%lld,\"pitch\":%d,\"cells\":[",
                at, v.xres, v.yres, static_cast<unsigned>(v.FourCC), v.frame_rate_N, v.frame_rate_D,
                static_cast<double>(v.picture_aspect_ratio), v.frame_format_type,
                v.line_stride_in_bytes, static_cast<long long>(v.timecode),
                static_cast<long long>(v.timestamp), pitch);
  std::string line = head;
  for (int y = pitch / 2; y < v.yres; y += pitch) {
    for (int x = pitch / 2; x < v.xres; x += pitch) {
      const uint8_t* p = v.p_data + static_cast<size_t>(y) * v.line_stride_in_bytes + x * 4;
      char cell[24];
      std::snprintf(cell, sizeof cell, "[%u,%u,%u,%u],", p[0], p[1], p[2], p[3]);
      line += cell;
    }
  }
  if (line.back() == ',') line.pop_back();
  return line + "]}}\n";
}

std::string audio_line(const NDIlib_audio_frame_v2_t& a, long long at) {
  char head[256];
  std::snprintf(head, sizeof head,
                "{\"audio\":{\"t\":%lld,\"rate\":%d,\"channels\":%d,\"samples\":%d,"
                "\"stride\":%d,\"timecode\":%lld,\"timestamp\":%lld,\"data\":[",
                at, a.sample_rate, a.no_channels, a.no_samples, a.channel_stride_in_bytes,
                static_cast<long long>(a.timecode), static_cast<long long>(a.timestamp));
  std::string line = head;
  for (int c = 0; c < a.no_channels; ++c) {
    const auto* plane =
        reinterpret_cast<const float*>(reinterpret_cast<const uint8_t*>(a.p_data) +
                                       static_cast<size_t>(c) * a.channel_stride_in_bytes);
    line += c ? ",[" : "[";
    for (int i = 0; i < a.no_samples; ++i) {
      char sample[24];
      std::snprintf(sample, sizeof sample, i ? ",%.8g" : "%.8g", static_cast<double>(plane[i]));
      line += sample;
    }
    line += "]";
  }
  return line + "]}}\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr,
                 "usage: receiver.exe URL OUT_FILE DONE_FILE MIN_FRAMES PITCH TIMEOUT_MS\n");
    return 2;
  }
  const int min_frames = std::atoi(argv[4]), pitch = std::atoi(argv[5]);
  const long long deadline = now_us() + std::atoll(argv[6]) * 1000;
  Receive api{};
  if (!load(&api) || !api.initialize()) {
    std::fprintf(stderr, "receiver: cannot load or initialise ndi_runtime_3_5.dll\n");
    return 1;
  }
  NDIlib_recv_create_v3_t settings{};
  // 3.5 ignores a URL whose source has no name; any name will do.
  settings.source_to_connect_to.p_ndi_name = "tarvix check source";
  settings.source_to_connect_to.p_url_address = argv[1];
  settings.color_format = NDIlib_recv_color_format_BGRX_BGRA;
  settings.bandwidth = NDIlib_recv_bandwidth_highest;
  settings.allow_video_fields = false;
  settings.p_ndi_name = "tarvix check receiver";
  NDIlib_recv_instance_t receiver = api.create(&settings);
  if (receiver == nullptr) {
    std::fprintf(stderr, "receiver: NDIlib_recv_create_v3 failed\n");
    return 1;
  }

  std::string log;
  int frames = 0;
  bool done = false, gone = false;
  long long retry_at = now_us() + retry_us;
  while (now_us() < deadline && !gone) {
    // A receiver that found no sender yet may not try again by itself.
    if (frames == 0 && now_us() > retry_at && api.connections(receiver) == 0) {
      api.connect(receiver, nullptr);
      api.connect(receiver, &settings.source_to_connect_to);
      retry_at = now_us() + retry_us;
      log += "{\"retry\":" + std::to_string(now_us()) + "}\n";
    }
    NDIlib_video_frame_v2_t video{};
    NDIlib_audio_frame_v2_t audio{};
    switch (api.capture(receiver, &video, &audio, nullptr, 50)) {
      case NDIlib_frame_type_video:
        log += video_line(video, pitch, now_us());
        api.free_video(receiver, &video);
        ++frames;
        break;
      case NDIlib_frame_type_audio:
        log += audio_line(audio, now_us());
        api.free_audio(receiver, &audio);
        break;
      default:
        break;
    }
    if (!done && frames >= min_frames) {
      std::FILE* flag = std::fopen(argv[3], "w");
      if (flag != nullptr) std::fclose(flag);
      done = true;
    }
    // The source is withdrawn when its connection ends after the last frame.
    if (done && api.connections(receiver) == 0) {
      log += "{\"gone\":" + std::to_string(now_us()) + "}\n";
      gone = true;
    }
  }
  if (!gone) log += "{\"timeout\":" + std::to_string(now_us()) + "}\n";
  api.destroy_receiver(receiver);
  api.destroy();

  std::FILE* out = std::fopen(argv[2], "w");
  if (out == nullptr || std::fputs(log.c_str(), out) < 0 || std::fclose(out) != 0) return 1;
  return 0;
}
