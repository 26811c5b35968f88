// Our declaration of the part of the NDI SDK's C interface that the module
// uses: seven functions and three records, fields in the SDK's order and
// types. The module links against the runtime library by name (libndi.so.6,
// Processing.NDI.Lib.x64.dll); the stand-in under standin/ implements the
// same interface for tests.
#pragma once

#ifdef __cplusplus
#include <cstdint>
#else
#include <stdbool.h>
#include <stdint.h>
#endif

#if defined(TARVIX_NDI_STANDIN_BUILD)
#if defined(_WIN32)
#define NDIlib_API __declspec(dllexport)
#else
#define NDIlib_API __attribute__((visibility("default")))
#endif
#elif defined(_WIN32)
#define NDIlib_API __declspec(dllimport)
#else
#define NDIlib_API
#endif

#define NDI_LIB_FOURCC(a, b, c, d)                                                           \
  ((uint32_t)(uint8_t)(a) | ((uint32_t)(uint8_t)(b) << 8) | ((uint32_t)(uint8_t)(c) << 16) | \
   ((uint32_t)(uint8_t)(d) << 24))

#ifdef __cplusplus
extern "C" {
#endif

// The enums are int-sized in the SDK's ABI; the max members keep them so.
typedef enum NDIlib_FourCC_video_type_e {
  NDIlib_FourCC_video_type_BGRA = 0x41524742,  // 'B', 'G', 'R', 'A'
  NDIlib_FourCC_video_type_max = 0x7fffffff
} NDIlib_FourCC_video_type_e;

typedef enum NDIlib_FourCC_audio_type_e {
  NDIlib_FourCC_audio_type_FLTP = 0x70544c46,  // 'F', 'L', 'T', 'p': planar 32-bit float
  NDIlib_FourCC_audio_type_max = 0x7fffffff
} NDIlib_FourCC_audio_type_e;

typedef enum NDIlib_frame_format_type_e {
  NDIlib_frame_format_type_progressive = 1,
  NDIlib_frame_format_type_max = 0x7fffffff
} NDIlib_frame_format_type_e;

// Asks the SDK to make the timecode itself.
#define NDIlib_send_timecode_synthesize INT64_MAX

typedef struct NDIlib_send_instance_type* NDIlib_send_instance_t;

typedef struct NDIlib_send_create_t {
  const char* p_ndi_name;
  const char* p_groups;
  bool clock_video;
  bool clock_audio;
} NDIlib_send_create_t;

typedef struct NDIlib_video_frame_v2_t {
  int xres;
  int yres;
  NDIlib_FourCC_video_type_e FourCC;
  int frame_rate_N;
  int frame_rate_D;
  float picture_aspect_ratio;
  NDIlib_frame_format_type_e frame_format_type;
  int64_t timecode;
  uint8_t* p_data;
  int line_stride_in_bytes;
  const char* p_metadata;
  int64_t timestamp;
} NDIlib_video_frame_v2_t;

typedef struct NDIlib_audio_frame_v3_t {
  int sample_rate;
  int no_channels;
  int no_samples;
  int64_t timecode;
  NDIlib_FourCC_audio_type_e FourCC;
  uint8_t* p_data;
  int channel_stride_in_bytes;
  const char* p_metadata;
  int64_t timestamp;
} NDIlib_audio_frame_v3_t;

NDIlib_API bool NDIlib_initialize(void);
NDIlib_API void NDIlib_destroy(void);
NDIlib_API NDIlib_send_instance_t NDIlib_send_create(const NDIlib_send_create_t* p_create_settings);
NDIlib_API void NDIlib_send_destroy(NDIlib_send_instance_t p_instance);
NDIlib_API void NDIlib_send_send_video_v2(NDIlib_send_instance_t p_instance,
                                          const NDIlib_video_frame_v2_t* p_video_data);
NDIlib_API void NDIlib_send_send_video_async_v2(NDIlib_send_instance_t p_instance,
                                                const NDIlib_video_frame_v2_t* p_video_data);
NDIlib_API void NDIlib_send_send_audio_v3(NDIlib_send_instance_t p_instance,
                                          const NDIlib_audio_frame_v3_t* p_audio_data);

#ifdef __cplusplus
}
#endif
