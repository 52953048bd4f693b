#pragma once

#include <QStringView>

#include <cstdint>

// The integer a text begins with: white space at the start is skipped, an
// optional "+" or "-" follows, then ASCII digits up to the first other
// character. 0 when there are no digits; a value beyond the int32 range gives
// the nearest end of that range. "720 px" gives 720, "2.5" gives 2.
int32_t intValueOfText(QStringView text);

// Saturates a 64-bit intermediate to the int32 range.
int32_t saturatedInt32(int64_t value);
