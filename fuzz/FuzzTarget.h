#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Each target defines this; libFuzzer calls it with generated inputs, the replay test with
// every file of the target's input folder under tests/fuzz.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

// A broken property ends the run like a crash, so the fuzzer keeps the input that broke it.
#define ZV_FUZZ_CHECK(condition)                                                                                       \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition);                      \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)
