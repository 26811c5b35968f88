// Sender names of arbitrary bytes, well-formed UTF-8 or not: no crash, and
// every name is refused as blank, refused at its first zero byte with that
// byte's position and the whole name, or passed to the SDK unchanged. Which
// names are blank the unit tests check against the White_Space table.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ndi/runtime.h"
#include "ndi/sender.h"
#include "tarvix_standin_probe.h"

namespace {

// libFuzzer reports the abort as a crash, together with the input.
void check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  // Senders need a library reference; one for the whole run.
  static auto runtime = tarvix::ndi::NdiRuntime::acquire();
  check(runtime.ok(), "the stand-in runtime did not initialise");
  const std::string name(reinterpret_cast<const char*>(data), size);
  const std::size_t zero = name.find('\0');
  {
    auto sender = tarvix::ndi::NdiSender::create({name, std::nullopt, true, false});
    if (sender) {
      const uint64_t id = tarvix_standin_instance_id(sender->handle());
      std::string seen(name.size() + 1, '\0');
      seen.resize(std::min(seen.size(), tarvix_standin_instance_name(id, seen.data(), size + 1)));
      check(!name.empty() && zero == std::string::npos && seen == name,
            "accepted, but the SDK did not receive the name unchanged");
    } else if (const auto* nul = sender.error().nul_error()) {
      check(nul->position == zero && std::string(nul->bytes.begin(), nul->bytes.end()) == name,
            "zero byte: wrong position, or the error does not carry the whole name");
    } else {
      check(sender.error().text() == "Sender name cannot be empty or contain only whitespace",
            "refused for no reason");
    }
  }
  // The stand-in lists every instance it made; forget them between inputs.
  tarvix_standin_reset();
  return 0;
}
