// JS access to the stand-in NDI runtime's probe: what each source carried
// and the failures the stand-in can be told to make.
#include <node_api.h>

#include <string>
#include <string_view>

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

void add(napi_env env, napi_value target, const char* name, napi_callback callback) {
  napi_value function;
  napi_create_function(env, name, NAPI_AUTO_LENGTH, callback, nullptr, &function);
  set(env, target, name, function);
}

napi_value init(napi_env env, napi_value exports) {
  add(env, exports, "reset", reset);
  add(env, exports, "library", library);
  add(env, exports, "instance", instance);
  add(env, exports, "lastVideoData", last_video_data);
  add(env, exports, "audioBlocks", audio_blocks);
  add(env, exports, "lastAudioSamples", last_audio_samples);
  add(env, exports, "failNextInitialize", fail_next_initialize);
  add(env, exports, "failNextSendCreate", fail_next_send_create);
  return exports;
}

}  // namespace

NAPI_MODULE(NODE_GYP_MODULE_NAME, init)
