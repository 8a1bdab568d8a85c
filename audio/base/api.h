#pragma once
// The export mark lives with the public headers; the engine's files keep
// including it from here.
#include "audio/sonvel_api.h"
