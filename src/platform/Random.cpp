#include "Random.h"

#include <cstdlib>

int64_t systemRandom()
{
    return int64_t(::random());
}
