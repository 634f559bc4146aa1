// A violated property stops the fuzzer with the failed condition and its line.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(property)                                                                     \
    ((property)                                                                                  \
         ? void()                                                                                \
         : (std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #property), \
            std::abort()))
