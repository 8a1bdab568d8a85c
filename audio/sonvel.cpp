#define SONVEL_BUILD
#include "audio/sonvel.h"

namespace sonvel {

const char* Version() { return "1.1.0"; }

}  // namespace sonvel
