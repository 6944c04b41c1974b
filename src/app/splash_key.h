// Key under which the splash pictures are kept scrambled among the program's resources. Kept
// apart from splash.h so the build-time scrambling tool can use it without the platform headers.
#pragma once

#include <stdint.h>

const uint32_t SPLASH_KEY = 0x7B1D4C60u;
