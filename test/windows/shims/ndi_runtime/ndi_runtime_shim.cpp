// Test-only Processing.NDI.Lib.x64.dll: serves the module's seven imports
// from the real 3.5 runtime, which sits next to this file as
// ndi_runtime_3_5.dll. Video and sender records are the same in both
// versions and pass through; the module's flush and its v3 audio records have
// no 3.5 name and are mapped. Built against the 3.5 public headers.
#define PROCESSINGNDILIB_EXPORTS
#include <Processing.NDI.Lib.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "port_close_fix.h"

namespace {

// The module's audio record (NDI 4 and later): FourCC sits where the 3.5
// record has p_data, so it is rebuilt, never cast.
struct AudioFrameV3 {
  int sample_rate;
  int no_channels;
  int no_samples;
  int64_t timecode;
  uint32_t FourCC;
  uint8_t* p_data;
  int channel_stride_in_bytes;
  const char* p_metadata;
  int64_t timestamp;
};
constexpr uint32_t planar_float = NDI_LIB_FOURCC('F', 'L', 'T', 'p');

struct Runtime {
  decltype(&NDIlib_initialize) initialize = nullptr;
  decltype(&NDIlib_destroy) destroy = nullptr;
  decltype(&NDIlib_send_create) send_create = nullptr;
  decltype(&NDIlib_send_destroy) send_destroy = nullptr;
  decltype(&NDIlib_send_send_video_v2) send_video = nullptr;
  decltype(&NDIlib_send_send_audio_v2) send_audio = nullptr;
  bool loaded = false;
};

std::wstring runtime_path() {
  HMODULE self = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&runtime_path), &self);
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1) + L"ndi_runtime_3_5.dll";
}

template <typename F>
bool resolve(HMODULE library, const char* name, F* function) {
  *function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(library, name)));
  return *function != nullptr;
}

Runtime load() {
  Runtime runtime;
  HMODULE library = LoadLibraryExW(runtime_path().c_str(), nullptr, 0);
  if (library == nullptr) {
    std::fprintf(stderr, "ndi shim: cannot load ndi_runtime_3_5.dll (error %lu)\n", GetLastError());
    return runtime;
  }
  if (running_under_wine() && apply_port_close_fix(library) == 0)
    std::fprintf(stderr, "ndi shim: completion-port fix found nothing to redirect\n");
  runtime.loaded = resolve(library, "NDIlib_initialize", &runtime.initialize) &&
                   resolve(library, "NDIlib_destroy", &runtime.destroy) &&
                   resolve(library, "NDIlib_send_create", &runtime.send_create) &&
                   resolve(library, "NDIlib_send_destroy", &runtime.send_destroy) &&
                   resolve(library, "NDIlib_send_send_video_v2", &runtime.send_video) &&
                   resolve(library, "NDIlib_send_send_audio_v2", &runtime.send_audio);
  if (!runtime.loaded) std::fprintf(stderr, "ndi shim: the runtime lacks a 3.5 function\n");
  return runtime;
}

// Loaded on first use, not in DllMain, where loading libraries is unsafe.
const Runtime& runtime() {
  static const Runtime loaded = load();
  return loaded;
}

}  // namespace

bool NDIlib_initialize(void) {
  return runtime().loaded && runtime().initialize();
}

void NDIlib_destroy(void) {
  if (runtime().loaded) runtime().destroy();
}

NDIlib_send_instance_t NDIlib_send_create(const NDIlib_send_create_t* settings) {
  return runtime().loaded ? runtime().send_create(settings) : nullptr;
}

void NDIlib_send_destroy(NDIlib_send_instance_t sender) {
  if (runtime().loaded) runtime().send_destroy(sender);
}

void NDIlib_send_send_video_v2(NDIlib_send_instance_t sender,
                               const NDIlib_video_frame_v2_t* frame) {
  if (runtime().loaded) runtime().send_video(sender, frame);
}

// The module only ever flushes through this call; 3.5 flushes with a null
// synchronous frame.
void NDIlib_send_send_video_async_v2(NDIlib_send_instance_t sender,
                                     const NDIlib_video_frame_v2_t* frame) {
  if (frame != nullptr) {
    std::fprintf(stderr, "ndi shim: an asynchronous frame is not expected; sent synchronously\n");
  }
  if (runtime().loaded) runtime().send_video(sender, frame);
}

extern "C" __declspec(dllexport) void NDIlib_send_send_audio_v3(NDIlib_send_instance_t sender,
                                                                const AudioFrameV3* frame) {
  if (!runtime().loaded || frame == nullptr) return;
  if (frame->FourCC != planar_float) {
    std::fprintf(stderr, "ndi shim: audio FourCC %08x dropped: 3.5 takes planar float only\n",
                 frame->FourCC);
    return;
  }
  NDIlib_audio_frame_v2_t v2{};
  v2.sample_rate = frame->sample_rate;
  v2.no_channels = frame->no_channels;
  v2.no_samples = frame->no_samples;
  v2.timecode = frame->timecode;
  v2.p_data = reinterpret_cast<float*>(frame->p_data);
  v2.channel_stride_in_bytes = frame->channel_stride_in_bytes;
  v2.p_metadata = frame->p_metadata;
  v2.timestamp = frame->timestamp;
  runtime().send_audio(sender, &v2);
}
