#pragma once

#include "platform/clock/Clock.h"

// The clock of the plug-in: the real clock, or a scaled one when the environment variable
// VELK_CLOCK_SCALE holds a positive number (0.1 runs every wait ten times faster, for end-to-end runs).
// One per process, made on first use and never destroyed (threads may use it while the process exits).
Clock& SystemClock();

// The factor a VELK_CLOCK_SCALE text stands for: a positive finite number read without the locale,
// else 1.
double ClockScaleFromText(const char* text);
