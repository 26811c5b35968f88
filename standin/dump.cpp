#include "dump.h"

#ifndef TARVIX_STANDIN_NO_PNG
#include <png.h>
#endif
#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <string>

namespace tarvix::standin {
namespace {

constexpr std::size_t kMaxStem = 80;

std::string json_string(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string fourcc_text(int32_t fourcc) {
  std::string out;
  for (int shift = 0; shift < 32; shift += 8) {
    const auto c = static_cast<char>((static_cast<uint32_t>(fourcc) >> shift) & 0xff);
    out += (c >= 0x20 && c < 0x7f) ? c : '?';
  }
  return out;
}

// The four bytes of the last video frame's middle pixel, so a platform
// without the PNG still shows what a source carried; null without a frame.
std::string center_pixel_json(const InstanceSnapshot& snap) {
  const tarvix_standin_video_info& v = snap.info.last_video;
  const std::size_t at =
      static_cast<std::size_t>(v.yres / 2) *
          static_cast<std::size_t>(v.line_stride_in_bytes > 0 ? v.line_stride_in_bytes : 0) +
      static_cast<std::size_t>(v.xres / 2) * 4;
  if (!snap.last_video || v.xres <= 0 || v.yres <= 0 || at + 4 > snap.last_video->size()) {
    return "null";
  }
  const uint8_t* p = snap.last_video->data() + at;
  char text[32];
  std::snprintf(text, sizeof text, "[%u, %u, %u, %u]", p[0], p[1], p[2], p[3]);
  return text;
}

std::string summary_json(const InstanceSnapshot& snap) {
  const tarvix_standin_video_info& v = snap.info.last_video;
  const int32_t rate = snap.last_audio ? snap.last_audio->sample_rate : 0;
  const int32_t channels = snap.last_audio ? snap.last_audio->no_channels : 0;
  char numbers[640];
  std::snprintf(numbers, sizeof numbers,
                "  \"frames\": %llu,\n  \"width\": %d,\n  \"height\": %d,\n"
                "  \"fourcc\": %s,\n  \"frame_rate_n\": %d,\n  \"frame_rate_d\": %d,\n"
                "  \"picture_aspect_ratio\": %.7g,\n  \"line_stride\": %d,\n"
                "  \"audio_blocks\": %llu,\n  \"samples_per_channel\": %llu,\n"
                "  \"sample_rate\": %d,\n  \"channels\": %d,\n  \"destroyed\": %s\n",
                static_cast<unsigned long long>(snap.info.video_frames), v.xres, v.yres,
                json_string(fourcc_text(v.fourcc)).c_str(), v.frame_rate_n, v.frame_rate_d,
                static_cast<double>(v.picture_aspect_ratio), v.line_stride_in_bytes,
                static_cast<unsigned long long>(snap.info.audio_blocks),
                static_cast<unsigned long long>(snap.info.samples_per_channel), rate, channels,
                snap.info.destroyed ? "true" : "false");
  return "{\n  \"name\": " + json_string(snap.name) +
         ",\n  \"center_pixel\": " + center_pixel_json(snap) + ",\n" + numbers + "}\n";
}

// Replaces the file in one step, so a reader never sees half of it.
bool publish(const std::string& temp, const std::string& path) {
#ifdef _WIN32
  // rename() there refuses to replace an existing file.
  if (MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0) return true;
#else
  if (std::rename(temp.c_str(), path.c_str()) == 0) return true;
#endif
  std::remove(temp.c_str());
  return false;
}

void write_json(const std::string& path, const std::string& temp, const std::string& text) {
  std::FILE* file = std::fopen(temp.c_str(), "wb");
  if (file == nullptr) return;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (std::fclose(file) != 0 || !written) {
    std::remove(temp.c_str());
    return;
  }
  publish(temp, path);
}

#ifdef TARVIX_STANDIN_NO_PNG
// Built without libpng (the Windows stand-in): the JSON summary still comes.
void write_png(const std::string&, const std::string&, const InstanceSnapshot&) {}
#else
void write_png(const std::string& path, const std::string& temp, const InstanceSnapshot& snap) {
  const tarvix_standin_video_info& v = snap.info.last_video;
  if (!snap.last_video || v.fourcc != NDIlib_FourCC_video_type_BGRA) return;
  if (v.line_stride_in_bytes < v.xres * 4) return;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(v.xres);
  image.height = static_cast<png_uint_32>(v.yres);
  image.format = PNG_FORMAT_BGRA;
  if (png_image_write_to_file(&image, temp.c_str(), 0, snap.last_video->data(),
                              v.line_stride_in_bytes, nullptr) == 0) {
    png_image_free(&image);
    std::remove(temp.c_str());
    return;
  }
  publish(temp, path);
}
#endif

}  // namespace

std::string safe_file_stem(std::string_view source_name) {
  std::string stem;
  for (const char c : source_name) {
    if (stem.size() == kMaxStem) break;
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_' || c == '.';
    stem += plain ? c : '_';
  }
  if (stem.empty() || stem.front() == '.') stem.insert(0, "source");
  return stem;
}

void dump_if_due(Instance& instance, bool final) {
  const char* dir = std::getenv("TARVIX_NDI_STANDIN_DIR");
  if (dir == nullptr || *dir == '\0') return;
  if (!instance.claim_dump(final)) return;
  const InstanceSnapshot snap = instance.snapshot();
  const std::string base = std::string(dir) + "/" + safe_file_stem(snap.name);
  // Unique per instance, so two sources of one name never share a temp file.
  const std::string temp_suffix = ".tmp-" + std::to_string(instance.id) + "-" +
                                  std::to_string(reinterpret_cast<std::uintptr_t>(&instance));
  write_png(base + ".png", base + ".png" + temp_suffix, snap);
  write_json(base + ".json", base + ".json" + temp_suffix, summary_json(snap));
  instance.dump_done();
}

}  // namespace tarvix::standin
