#pragma once
// Sonvel's own message window is declared with the host interface; the
// engine's files keep including it from here.
#include "audio/sonvel_host.h"
