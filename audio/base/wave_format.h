#pragma once
// The format record is part of the host interface; the engine's files keep
// including it from here.
#include "audio/sonvel_host.h"
