// JS access to the stand-in NDI runtime's probe, plus thin wrappers of the
// SDK functions so a test can feed the stand-in without the main module.
#include <node_api.h>

#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tarvix_standin_probe.h"

namespace {

constexpr std::size_t kMaxArgs = 6;

struct Args {
  napi_env env;
  std::size_t count = kMaxArgs;
  napi_value values[kMaxArgs] = {};
};

Args args(napi_env env, napi_callback_info info) {
  Args a{env};
  napi_get_cb_info(env, info, &a.count, a.values, nullptr, nullptr);
  return a;
}

napi_value fail(napi_env env, const char* message) {
  bool pending = false;
  napi_is_exception_pending(env, &pending);
  if (!pending) napi_throw_type_error(env, nullptr, message);
  return nullptr;
}

napi_value undefined(napi_env env) {
  napi_value value;
  napi_get_undefined(env, &value);
  return value;
}

napi_value number(napi_env env, double n) {
  napi_value value;
  napi_create_double(env, n, &value);
  return value;
}

napi_value boolean(napi_env env, bool b) {
  napi_value value;
  napi_get_boolean(env, b, &value);
  return value;
}

napi_value bigint(napi_env env, int64_t n) {
  napi_value value;
  napi_create_bigint_int64(env, n, &value);
  return value;
}

napi_value string(napi_env env, std::string_view text) {
  napi_value value;
  napi_create_string_utf8(env, text.data(), text.size(), &value);
  return value;
}

napi_value object(napi_env env) {
  napi_value value;
  napi_create_object(env, &value);
  return value;
}

void set(napi_env env, napi_value target, const char* name, napi_value value) {
  napi_set_named_property(env, target, name, value);
}

bool get_double(const Args& a, std::size_t i, double& out) {
  return i < a.count && napi_get_value_double(a.env, a.values[i], &out) == napi_ok;
}

bool get_id(const Args& a, uint64_t& id) {
  double value = 0;
  if (!get_double(a, 0, value) || value < 0) return false;
  id = static_cast<uint64_t>(value);
  return true;
}

bool get_string(const Args& a, std::size_t i, std::string& out) {
  std::size_t length = 0;
  if (i >= a.count ||
      napi_get_value_string_utf8(a.env, a.values[i], nullptr, 0, &length) != napi_ok) {
    return false;
  }
  out.assign(length + 1, '\0');
  napi_get_value_string_utf8(a.env, a.values[i], out.data(), out.size(), &length);
  out.resize(length);
  return true;
}

bool get_bool(const Args& a, std::size_t i, bool& out) {
  return i < a.count && napi_get_value_bool(a.env, a.values[i], &out) == napi_ok;
}

// Bytes of a Buffer (a Uint8Array) or a Float32Array.
bool get_bytes(const Args& a, std::size_t i, void*& data, std::size_t& length) {
  napi_typedarray_type type;
  napi_value array_buffer;
  std::size_t offset = 0;
  if (i >= a.count || napi_get_typedarray_info(a.env, a.values[i], &type, &length, &data,
                                               &array_buffer, &offset) != napi_ok) {
    return false;
  }
  if (type == napi_float32_array) length *= sizeof(float);
  return type == napi_float32_array || type == napi_uint8_array;
}

bool get_handle(const Args& a, std::size_t i, NDIlib_send_instance_t& handle) {
  void* data = nullptr;
  if (i >= a.count || napi_get_value_external(a.env, a.values[i], &data) != napi_ok) return false;
  handle = static_cast<NDIlib_send_instance_t>(data);
  return true;
}

const char* call_name(int32_t call) {
  static const std::pair<int32_t, const char*> names[] = {
      {TARVIX_CALL_INITIALIZE, "initialize"},   {TARVIX_CALL_DESTROY, "destroy"},
      {TARVIX_CALL_SEND_CREATE, "sendCreate"},  {TARVIX_CALL_SEND_VIDEO, "sendVideo"},
      {TARVIX_CALL_SEND_AUDIO, "sendAudio"},    {TARVIX_CALL_FLUSH, "flush"},
      {TARVIX_CALL_SEND_DESTROY, "sendDestroy"}};
  for (const auto& [value, name] : names) {
    if (value == call) return name;
  }
  return "unknown";
}

std::string fourcc_text(int32_t fourcc) {
  std::string out(4, '\0');
  for (int k = 0; k < 4; ++k)
    out[k] = static_cast<char>((static_cast<uint32_t>(fourcc) >> (8 * k)) & 0xff);
  return out;
}

// --- probe ---

napi_value reset(napi_env env, napi_callback_info) {
  tarvix_standin_reset();
  return undefined(env);
}

napi_value library(napi_env env, napi_callback_info) {
  tarvix_standin_library_info info{};
  tarvix_standin_library(&info);
  napi_value out = object(env);
  set(env, out, "initialized", boolean(env, info.initialized != 0));
  set(env, out, "initializeCalls", number(env, static_cast<double>(info.initialize_calls)));
  set(env, out, "destroyCalls", number(env, static_cast<double>(info.destroy_calls)));
  set(env, out, "instancesCreated", number(env, static_cast<double>(info.instances_created)));
  set(env, out, "liveInstances", number(env, static_cast<double>(info.live_instances)));
  set(env, out, "callsLogged", number(env, static_cast<double>(info.calls_logged)));
  set(env, out, "misuse", number(env, static_cast<double>(info.misuse)));
  return out;
}

napi_value calls(napi_env env, napi_callback_info) {
  napi_value out;
  napi_create_array(env, &out);
  tarvix_standin_call_record record{};
  for (uint32_t i = 0; tarvix_standin_call_at(i, &record) != 0; ++i) {
    napi_value entry = object(env);
    set(env, entry, "call", string(env, call_name(record.call)));
    set(env, entry, "instance", number(env, static_cast<double>(record.instance)));
    napi_set_element(env, out, i, entry);
  }
  return out;
}

napi_value video_info(napi_env env, const tarvix_standin_video_info& v) {
  napi_value out = object(env);
  set(env, out, "width", number(env, v.xres));
  set(env, out, "height", number(env, v.yres));
  set(env, out, "fourcc", string(env, fourcc_text(v.fourcc)));
  set(env, out, "frameRateN", number(env, v.frame_rate_n));
  set(env, out, "frameRateD", number(env, v.frame_rate_d));
  set(env, out, "pictureAspectRatio", number(env, v.picture_aspect_ratio));
  set(env, out, "frameFormatType", number(env, v.frame_format_type));
  set(env, out, "timecode", bigint(env, v.timecode));
  set(env, out, "lineStride", number(env, v.line_stride_in_bytes));
  set(env, out, "hasMetadata", boolean(env, v.has_metadata != 0));
  set(env, out, "timestamp", bigint(env, v.timestamp));
  return out;
}

napi_value instance(napi_env env, napi_callback_info info) {
  const Args a = args(env, info);
  uint64_t id = 0;
  if (!get_id(a, id)) return fail(env, "instance(id): id must be a number");
  tarvix_standin_instance_info i{};
  if (tarvix_standin_instance(id, &i) == 0) {
    napi_value null;
    napi_get_null(env, &null);
    return null;
  }
  std::string name(tarvix_standin_instance_name(id, nullptr, 0), '\0');
  tarvix_standin_instance_name(id, name.data(), name.size());
  napi_value out = object(env);
  set(env, out, "id", number(env, static_cast<double>(id)));
  set(env, out, "name", string(env, name));
  if (i.has_groups) {
    std::string groups(tarvix_standin_instance_groups(id, nullptr, 0), '\0');
    tarvix_standin_instance_groups(id, groups.data(), groups.size());
    set(env, out, "groups", string(env, groups));
  } else {
    napi_value null;
    napi_get_null(env, &null);
    set(env, out, "groups", null);
  }
  set(env, out, "clockVideo", boolean(env, i.clock_video != 0));
  set(env, out, "clockAudio", boolean(env, i.clock_audio != 0));
  set(env, out, "destroyed", boolean(env, i.destroyed != 0));
  set(env, out, "flushedBeforeDestroy", boolean(env, i.flushed_before_destroy != 0));
  set(env, out, "videoFrames", number(env, static_cast<double>(i.video_frames)));
  set(env, out, "audioBlocks", number(env, static_cast<double>(i.audio_blocks)));
  set(env, out, "flushes", number(env, static_cast<double>(i.flushes)));
  set(env, out, "samplesPerChannel", number(env, static_cast<double>(i.samples_per_channel)));
  set(env, out, "lastVideo", video_info(env, i.last_video));
  return out;
}

napi_value last_video_data(napi_env env, napi_callback_info info) {
  const Args a = args(env, info);
  uint64_t id = 0;
  if (!get_id(a, id)) return fail(env, "lastVideoData(id): id must be a number");
  const std::size_t size = tarvix_standin_last_video_data(id, nullptr, 0);
  void* data = nullptr;
  napi_value out;
  if (napi_create_buffer(env, size, &data, &out) != napi_ok) return fail(env, "no buffer");
  tarvix_standin_last_video_data(id, static_cast<uint8_t*>(data), size);
  return out;
}

napi_value audio_blocks(napi_env env, napi_callback_info info) {
  const Args a = args(env, info);
  uint64_t id = 0;
  if (!get_id(a, id)) return fail(env, "audioBlocks(id): id must be a number");
  napi_value out;
  napi_create_array(env, &out);
  tarvix_standin_audio_info block{};
  for (uint32_t k = 0; tarvix_standin_audio_block(id, k, &block) != 0; ++k) {
    napi_value entry = object(env);
    set(env, entry, "sampleRate", number(env, block.sample_rate));
    set(env, entry, "channels", number(env, block.no_channels));
    set(env, entry, "samples", number(env, block.no_samples));
    set(env, entry, "timecode", bigint(env, block.timecode));
    set(env, entry, "fourcc", string(env, fourcc_text(block.fourcc)));
    set(env, entry, "channelStride", number(env, block.channel_stride_in_bytes));
    set(env, entry, "hasMetadata", boolean(env, block.has_metadata != 0));
    set(env, entry, "timestamp", bigint(env, block.timestamp));
    napi_value firsts;
    napi_create_array(env, &firsts);
    const int kept = block.no_channels < TARVIX_STANDIN_MAX_CHANNELS ? block.no_channels
                                                                     : TARVIX_STANDIN_MAX_CHANNELS;
    for (int c = 0; c < kept; ++c) {
      napi_set_element(env, firsts, static_cast<uint32_t>(c), number(env, block.first_samples[c]));
    }
    set(env, entry, "firstSamples", firsts);
    napi_set_element(env, out, k, entry);
  }
  return out;
}

napi_value last_audio_samples(napi_env env, napi_callback_info info) {
  const Args a = args(env, info);
  uint64_t id = 0;
  if (!get_id(a, id)) return fail(env, "lastAudioSamples(id): id must be a number");
  const std::size_t count = tarvix_standin_last_audio_samples(id, nullptr, 0);
  void* data = nullptr;
  napi_value buffer;
  if (napi_create_arraybuffer(env, count * sizeof(float), &data, &buffer) != napi_ok) {
    return fail(env, "no buffer");
  }
  tarvix_standin_last_audio_samples(id, static_cast<float*>(data), count);
  napi_value out;
  napi_create_typedarray(env, napi_float32_array, count, buffer, 0, &out);
  return out;
}

napi_value fail_next_initialize(napi_env env, napi_callback_info info) {
  double n = 0;
  if (!get_double(args(env, info), 0, n)) return fail(env, "failNextInitialize(n)");
  tarvix_standin_fail_next_initialize(static_cast<uint32_t>(n));
  return undefined(env);
}

napi_value fail_next_send_create(napi_env env, napi_callback_info info) {
  double n = 0;
  if (!get_double(args(env, info), 0, n)) return fail(env, "failNextSendCreate(n)");
  tarvix_standin_fail_next_send_create(static_cast<uint32_t>(n));
  return undefined(env);
}

// --- SDK ---

napi_value sdk_initialize(napi_env env, napi_callback_info) {
  return boolean(env, NDIlib_initialize());
}

napi_value sdk_destroy(napi_env env, napi_callback_info) {
  NDIlib_destroy();
  return undefined(env);
}

napi_value sdk_send_create(napi_env env, napi_callback_info info) {
  const Args a = args(env, info);
  std::string name, groups;
  bool clock_video = true, clock_audio = false;
  if (!get_string(a, 0, name)) return fail(env, "sendCreate(name, groups, clockVideo, clockAudio)");
  const bool has_groups = get_string(a, 1, groups);
  if (a.count > 2 && !get_bool(a, 2, clock_video)) return fail(env, "clockVideo must be a boolean");
  if (a.count > 3 && !get_bool(a, 3, clock_audio)) return fail(env, "clockAudio must be a boolean");
  NDIlib_send_create_t settings{name.c_str(), has_groups ? groups.c_str() : nullptr, clock_video,
                                clock_audio};
  NDIlib_send_instance_t handle = NDIlib_send_create(&settings);
  if (handle == nullptr) {
    napi_value null;
    napi_get_null(env, &null);
    return null;
  }
  napi_value out;
  napi_create_external(env, handle, nullptr, nullptr, &out);
  return out;
}

napi_value sdk_instance_id(napi_env env, napi_callback_info info) {
  NDIlib_send_instance_t handle = nullptr;
  if (!get_handle(args(env, info), 0, handle)) return fail(env, "instanceId(handle)");
  return number(env, static_cast<double>(tarvix_standin_instance_id(handle)));
}

// sendVideo(handle, width, height, bgraBytes): a progressive 60/1 BGRA frame.
napi_value sdk_send_video(napi_env env, napi_callback_info info) {
  const Args a = args(env, info);
  NDIlib_send_instance_t handle = nullptr;
  double width = 0, height = 0;
  void* data = nullptr;
  std::size_t length = 0;
  if (!get_handle(a, 0, handle) || !get_double(a, 1, width) || !get_double(a, 2, height) ||
      !get_bytes(a, 3, data, length)) {
    return fail(env, "sendVideo(handle, width, height, bytes)");
  }
  if (width < 1 || height < 1 || width * height * 4 > static_cast<double>(length)) {
    return fail(env, "sendVideo: bytes shorter than width x height x 4");
  }
  NDIlib_video_frame_v2_t frame{};
  frame.xres = static_cast<int>(width);
  frame.yres = static_cast<int>(height);
  frame.FourCC = NDIlib_FourCC_video_type_BGRA;
  frame.frame_rate_N = 60;
  frame.frame_rate_D = 1;
  frame.picture_aspect_ratio = 16.0f / 9.0f;
  frame.frame_format_type = NDIlib_frame_format_type_progressive;
  frame.timecode = NDIlib_send_timecode_synthesize;
  frame.p_data = static_cast<uint8_t*>(data);
  frame.line_stride_in_bytes = frame.xres * 4;
  NDIlib_send_send_video_v2(handle, &frame);
  return undefined(env);
}

// sendAudio(handle, sampleRate, channels, planarFloats)
napi_value sdk_send_audio(napi_env env, napi_callback_info info) {
  const Args a = args(env, info);
  NDIlib_send_instance_t handle = nullptr;
  double rate = 0, channels = 0;
  void* data = nullptr;
  std::size_t length = 0;
  if (!get_handle(a, 0, handle) || !get_double(a, 1, rate) || !get_double(a, 2, channels) ||
      !get_bytes(a, 3, data, length) || channels < 1) {
    return fail(env, "sendAudio(handle, sampleRate, channels, planarFloats)");
  }
  NDIlib_audio_frame_v3_t frame{};
  frame.sample_rate = static_cast<int>(rate);
  frame.no_channels = static_cast<int>(channels);
  frame.no_samples = static_cast<int>(length / sizeof(float) / frame.no_channels);
  frame.timecode = NDIlib_send_timecode_synthesize;
  frame.FourCC = NDIlib_FourCC_audio_type_FLTP;
  frame.p_data = static_cast<uint8_t*>(data);
  frame.channel_stride_in_bytes = frame.no_samples * static_cast<int>(sizeof(float));
  NDIlib_send_send_audio_v3(handle, &frame);
  return undefined(env);
}

napi_value sdk_flush(napi_env env, napi_callback_info info) {
  NDIlib_send_instance_t handle = nullptr;
  if (!get_handle(args(env, info), 0, handle)) return fail(env, "flush(handle)");
  NDIlib_send_send_video_async_v2(handle, nullptr);
  return undefined(env);
}

napi_value sdk_send_destroy(napi_env env, napi_callback_info info) {
  NDIlib_send_instance_t handle = nullptr;
  if (!get_handle(args(env, info), 0, handle)) return fail(env, "sendDestroy(handle)");
  NDIlib_send_destroy(handle);
  return undefined(env);
}

void add(napi_env env, napi_value target, const char* name, napi_callback callback) {
  napi_value function;
  napi_create_function(env, name, NAPI_AUTO_LENGTH, callback, nullptr, &function);
  set(env, target, name, function);
}

napi_value init(napi_env env, napi_value exports) {
  add(env, exports, "reset", reset);
  add(env, exports, "library", library);
  add(env, exports, "calls", calls);
  add(env, exports, "instance", instance);
  add(env, exports, "lastVideoData", last_video_data);
  add(env, exports, "audioBlocks", audio_blocks);
  add(env, exports, "lastAudioSamples", last_audio_samples);
  add(env, exports, "failNextInitialize", fail_next_initialize);
  add(env, exports, "failNextSendCreate", fail_next_send_create);
  napi_value sdk = object(env);
  add(env, sdk, "initialize", sdk_initialize);
  add(env, sdk, "destroy", sdk_destroy);
  add(env, sdk, "sendCreate", sdk_send_create);
  add(env, sdk, "instanceId", sdk_instance_id);
  add(env, sdk, "sendVideo", sdk_send_video);
  add(env, sdk, "sendAudio", sdk_send_audio);
  add(env, sdk, "flush", sdk_flush);
  add(env, sdk, "sendDestroy", sdk_send_destroy);
  set(env, exports, "sdk", sdk);
  return exports;
}

}  // namespace

NAPI_MODULE(NODE_GYP_MODULE_NAME, init)
