#define SONVEL_BUILD
#include "audio/sonvel.h"

#include "audio/base/version.h"

namespace sonvel {

const char* Version() { return EngineVersion(); }

}  // namespace sonvel
