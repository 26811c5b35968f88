/* What the stand-in NDI runtime recorded, for tests. These functions are
 * exported by the stand-in library (libndi.so.6 built from this repo) next to
 * the SDK's own; the real runtime does not have them. */
#ifndef TARVIX_STANDIN_PROBE_H
#define TARVIX_STANDIN_PROBE_H

#include <stddef.h>
#include <stdint.h>

#include "ndi/sdk.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The SDK calls the stand-in logs, in the order they arrive. */
typedef enum tarvix_standin_call {
  TARVIX_CALL_INITIALIZE = 1,
  TARVIX_CALL_DESTROY = 2,
  TARVIX_CALL_SEND_CREATE = 3,
  TARVIX_CALL_SEND_VIDEO = 4,
  TARVIX_CALL_SEND_AUDIO = 5,
  TARVIX_CALL_FLUSH = 6, /* the asynchronous video entry, with or without a frame */
  TARVIX_CALL_SEND_DESTROY = 7
} tarvix_standin_call;

typedef struct tarvix_standin_call_record {
  int32_t call;      /* a tarvix_standin_call */
  uint64_t instance; /* instance id, 0 for library calls and failed creates */
} tarvix_standin_call_record;

typedef struct tarvix_standin_library_info {
  int32_t initialized;
  uint64_t initialize_calls;
  uint64_t destroy_calls;
  uint64_t instances_created; /* ids 1..instances_created since the last reset */
  uint64_t live_instances;
  uint64_t calls_logged; /* total since the last reset; the log keeps the last 4096 */
  uint64_t misuse;       /* calls the real runtime would not survive, see below */
} tarvix_standin_library_info;

typedef struct tarvix_standin_video_info {
  int32_t xres, yres, fourcc, frame_rate_n, frame_rate_d;
  float picture_aspect_ratio;
  int32_t frame_format_type;
  int64_t timecode;
  int32_t line_stride_in_bytes;
  int32_t has_metadata;
  int64_t timestamp;
  uint64_t data_size; /* bytes kept: line stride x yres */
} tarvix_standin_video_info;

#define TARVIX_STANDIN_MAX_CHANNELS 8

typedef struct tarvix_standin_audio_info {
  int32_t sample_rate, no_channels, no_samples;
  int64_t timecode;
  int32_t fourcc;
  int32_t channel_stride_in_bytes;
  int32_t has_metadata;
  int64_t timestamp;
  /* The first sample of each of the first 8 channels' planes. */
  float first_samples[TARVIX_STANDIN_MAX_CHANNELS];
} tarvix_standin_audio_info;

typedef struct tarvix_standin_instance_info {
  int32_t clock_video, clock_audio;
  int32_t has_groups;
  int32_t destroyed;
  int32_t flushed_before_destroy;
  uint64_t video_frames;
  uint64_t audio_blocks;
  uint64_t flushes;
  uint64_t samples_per_channel;         /* summed over all audio blocks */
  uint64_t audio_blocks_kept;           /* the history keeps the last 1024 */
  tarvix_standin_video_info last_video; /* zero until a frame arrives */
} tarvix_standin_instance_info;

/* Forgets every record, counter, injected failure and pause. The library's
 * initialised state stays as it is; instances still alive keep working but
 * are no longer listed. */
void tarvix_standin_reset(void);

void tarvix_standin_library(tarvix_standin_library_info* out);

/* Index 0 is the oldest call kept. Returns 0 past the end. */
int tarvix_standin_call_at(uint64_t index, tarvix_standin_call_record* out);
uint64_t tarvix_standin_calls_kept(void);

/* Instance ids count from 1 in creation order since the last reset. Each
 * returns 0 for an unknown id. */
int tarvix_standin_instance(uint64_t id, tarvix_standin_instance_info* out);
uint64_t tarvix_standin_instance_id(NDIlib_send_instance_t handle);
/* Copies up to capacity bytes and returns the full length (no terminator). */
size_t tarvix_standin_instance_name(uint64_t id, char* out, size_t capacity);
size_t tarvix_standin_instance_groups(uint64_t id, char* out, size_t capacity);
size_t tarvix_standin_last_video_data(uint64_t id, uint8_t* out, size_t capacity);
/* index 0 is the oldest block kept. */
int tarvix_standin_audio_block(uint64_t id, uint64_t index, tarvix_standin_audio_info* out);
/* The last block's samples, planar, no_samples per channel; returns the count. */
size_t tarvix_standin_last_audio_samples(uint64_t id, float* out, size_t capacity);

/* Whether send instances keep the bytes of each video frame (default yes,
 * or no when the environment has TARVIX_STANDIN_VIDEO_BYTES=off; a reset
 * restores the default). Off, only the descriptor fields are recorded and
 * tarvix_standin_last_video_data returns 0: benchmarks leave the copy out. */
void tarvix_standin_keep_video_bytes(int32_t keep);

/* The next n calls of NDIlib_initialize return false / of NDIlib_send_create
 * return null. */
void tarvix_standin_fail_next_initialize(uint32_t n);
void tarvix_standin_fail_next_send_create(uint32_t n);

/* While a call kind is paused, threads entering that SDK call block until it
 * is resumed, so tests can line threads up deterministically.
 * tarvix_standin_wait_paused waits until at least n threads are blocked there
 * and returns 1, or returns 0 after ten seconds. */
void tarvix_standin_pause(int32_t call, int32_t paused);
int tarvix_standin_wait_paused(int32_t call, uint32_t n);

/* Misuse counted: a send or destroy on a handle that is not alive, a create
 * while the library is not initialised, initialise and destroy overlapping,
 * a malformed frame descriptor. */

#ifdef __cplusplus
}
#endif

#endif
