#pragma once

// Marks a function whose pixel loops are compiled twice on x86-64, for AVX2 and for the baseline
// processor; the loader picks the copy that the processor runs. The baseline has no byte
// shuffles, so that packing and unpacking 24-bit pixels runs two to three times faster in the
// AVX2 copy. The loops inside must be inlined into the marked function to be compiled with it.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VOSTA_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define VOSTA_VECTOR_CLONES
#endif
