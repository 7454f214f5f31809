// What the fuzz targets check beyond "no crash".
#pragma once

#include <cstdio>
#include <cstdlib>

// A broken property stops the run with the property's text.
#define CHECK(x)                                               \
    do {                                                       \
        if (!(x)) {                                            \
            std::fprintf(stderr, "property broken: %s\n", #x); \
            std::abort();                                      \
        }                                                      \
    } while (false)
