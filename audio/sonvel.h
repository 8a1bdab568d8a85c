#pragma once
// Sonvel, Orvane's audio engine: the Wave control, its devices, codecs and
// files. This header is the library's public face.

#if defined(SONVEL_BUILD)
#define SONVEL_API __attribute__((visibility("default")))
#else
#define SONVEL_API
#endif

namespace sonvel {

// The library's version text, e.g. "1.1.0"; lets a host check which
// engine it loaded through its run path.
SONVEL_API const char* Version();

}  // namespace sonvel
