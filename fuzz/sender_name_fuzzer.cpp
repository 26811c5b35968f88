// Sender names of arbitrary bytes. A well-formed UTF-8 name is refused as
// blank exactly when every code point is White_Space; otherwise a name with
// a zero byte is refused with that byte's position and the whole name, and
// any other name reaches the SDK unchanged. Ill-formed UTF-8 (which a script
// string never gives) must still be refused or passed on without a crash.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "ndi/runtime.h"
#include "ndi/sender.h"
#include "tarvix_standin_probe.h"

namespace {

using tarvix::fuzz::check;
using tarvix::ndi::NdiErrorKind;

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
std::optional<std::vector<char32_t>> decode_strict(const std::string& text) {
  std::vector<char32_t> out;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
      length = 1;
    } else if (lead >= 0xc2 && lead <= 0xdf) {
      length = 2, minimum = 0x80;
    } else if (lead >= 0xe0 && lead <= 0xef) {
      length = 3, minimum = 0x800;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
      length = 4, minimum = 0x10000;
    } else {
      return std::nullopt;
    }
    if (i + length > text.size()) return std::nullopt;
    char32_t code = length == 1 ? lead : lead & (0x7f >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xc0) != 0x80) return std::nullopt;
      code = (code << 6) | (next & 0x3f);
    }
    if (code < minimum || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) {
      return std::nullopt;
    }
    out.push_back(code);
    i += length;
  }
  return out;
}

// The Unicode White_Space property.
bool white_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0d) || c == 0x20 || c == 0x85 || c == 0xa0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200a) || c == 0x2028 || c == 0x2029 || c == 0x202f || c == 0x205f ||
         c == 0x3000;
}

bool all_white_space(const std::vector<char32_t>& codes) {
  for (const char32_t c : codes) {
    if (!white_space(c)) return false;
  }
  return true;
}

void check_refusal(const tarvix::ndi::NdiError& error, const std::string& name, bool blank) {
  if (blank) {
    check(error.kind() == NdiErrorKind::InvalidConfiguration, "blank name: wrong kind");
    check(error.text() == "Sender name cannot be empty or contain only whitespace",
          "blank name: wrong text");
    return;
  }
  const std::size_t zero = name.find('\0');
  check(zero != std::string::npos, "a name without a zero byte was refused");
  check(error.kind() == NdiErrorKind::InvalidCString, "zero byte: wrong kind");
  const auto* nul = error.nul_error();
  check(nul != nullptr && nul->position == zero, "zero byte: wrong position");
  check(nul->bytes.size() == name.size() &&
            std::memcmp(nul->bytes.data(), name.data(), name.size()) == 0,
        "zero byte: the error does not carry the whole name");
}

void check_acceptance(const tarvix::ndi::NdiSender& sender, const std::string& name) {
  check(name.find('\0') == std::string::npos, "a name with a zero byte was accepted");
  const uint64_t id = tarvix_standin_instance_id(sender.handle());
  std::string seen(name.size() + 1, '\0');
  const std::size_t length = tarvix_standin_instance_name(id, seen.data(), seen.size());
  seen.resize(length < seen.size() ? length : seen.size());
  check(length == name.size() && seen == name, "the SDK did not receive the name unchanged");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  // Senders need a library reference; one for the whole run.
  static auto runtime = tarvix::ndi::NdiRuntime::acquire();
  check(runtime.ok(), "the stand-in runtime did not initialise");

  tarvix::ndi::SenderOptions options;
  options.name.assign(reinterpret_cast<const char*>(data), size);
  const auto codes = decode_strict(options.name);
  const bool blank = codes && all_white_space(*codes);
  {
    auto sender = tarvix::ndi::NdiSender::create(options);
    if (!sender) {
      // Ill-formed input may be judged blank by a lenient decoder.
      const bool lenient_blank =
          !codes && sender.error().kind() == NdiErrorKind::InvalidConfiguration;
      if (!lenient_blank) check_refusal(sender.error(), options.name, blank);
    } else {
      check(!blank, "a blank name was accepted");
      check_acceptance(sender.value(), options.name);
    }
  }
  // The stand-in lists every instance it made; forget them between inputs.
  tarvix_standin_reset();
  return 0;
}
