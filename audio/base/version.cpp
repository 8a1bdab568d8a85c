#include "audio/base/version.h"

namespace sonvel {

const char* EngineVersion() {
    return "1.1.0";
}

}  // namespace sonvel
