#pragma once

namespace sonvel {

// The engine's version text, e.g. "1.1.0".
const char* EngineVersion();

}  // namespace sonvel
