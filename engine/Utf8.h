// The engine's conversions are the program's one codec in platform/Utf8.h; this name stays for
// the code that still includes it from here.
#pragma once

#include "platform/Utf8.h"
