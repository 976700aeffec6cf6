#pragma once

// Bounds a benchmark case may not exceed. A case over its bound reports an error and sets
// this flag, and the program then exits with a failure, so CI's smoke run catches it.

namespace vantorel::bench
{
    inline bool boundExceeded = false;
}
