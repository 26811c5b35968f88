// Sender names of arbitrary bytes, well-formed UTF-8 or not: no crash, and
// every name is refused as blank, refused at its first zero byte with that
// byte's position and the whole name, or passed to the SDK unchanged. Which
// names are blank is checked against the White_Space table by the unit
// tests and the script-surface fuzzer.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "ndi/runtime.h"
#include "ndi/sender.h"
#include "tarvix_standin_probe.h"

namespace {

using tarvix::fuzz::check;
using tarvix::ndi::NdiErrorKind;

void check_refusal(const tarvix::ndi::NdiError& error, const std::string& name) {
  if (error.kind() == NdiErrorKind::InvalidConfiguration) {
    check(error.text() == "Sender name cannot be empty or contain only whitespace",
          "blank name: wrong text");
    return;
  }
  const std::size_t zero = name.find('\0');
  check(error.kind() == NdiErrorKind::InvalidCString, "refused for no reason");
  const auto* nul = error.nul_error();
  check(nul != nullptr && nul->position == zero, "zero byte: wrong position");
  check(nul->bytes.size() == name.size() &&
            std::memcmp(nul->bytes.data(), name.data(), name.size()) == 0,
        "zero byte: the error does not carry the whole name");
}

void check_acceptance(const tarvix::ndi::NdiSender& sender, const std::string& name) {
  check(name.find('\0') == std::string::npos, "a name with a zero byte was accepted");
  check(!name.empty(), "an empty name was accepted");
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
  {
    auto sender = tarvix::ndi::NdiSender::create(options);
    if (sender) {
      check_acceptance(sender.value(), options.name);
    } else {
      check_refusal(sender.error(), options.name);
    }
  }
  // The stand-in lists every instance it made; forget them between inputs.
  tarvix_standin_reset();
  return 0;
}
