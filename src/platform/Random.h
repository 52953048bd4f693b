#pragma once

#include <cstdint>

// The C library's random(): 0 .. 2^31-1, never seeded by this program, so an
// unseeded run draws the same sequence every time.
int64_t systemRandom();
