#pragma once
// Sonvel's virtual devices. What hosts use of them (tone, file and external
// inputs, their device numbers) is declared with the host interface.

#include <memory>

#include "audio/base/mm_result.h"
#include "audio/sonvel_host.h"

namespace sonvel {

class DeviceBackend;

// The backend behind all of the virtual devices (used by the device layer).
std::shared_ptr<DeviceBackend> VirtualDeviceBackend();

}  // namespace sonvel
