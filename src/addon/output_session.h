// Starting and stopping outputs: one captured window published as one NDI
// source, registered under the script's output id. Both run on the script's
// thread and block it while they wait for the capture thread.
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "addon/operations.h"
#include "capture/platform/platform.h"

namespace tarvix::addon {

// A start for an id that is registered does nothing. A failed start leaves
// nothing registered and no sender behind.
OperationResult start_output(capture::platform::Platform& platform,
                             std::span<const std::byte> window_handle, const std::string& output_id,
                             const std::string& sender_name);

// A stop for an id that is not registered does nothing. A failed stop has
// still freed the id.
OperationResult stop_output(const std::string& output_id);

}  // namespace tarvix::addon
