#pragma once
// Function clones for wide vector units: the hologram's inner loops are
// written for the compiler to vectorise, and the baseline x86-64 has only
// two doubles a register. The loader picks the widest clone the processor
// runs.

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_ADDRESS__)
#define VELMORA_WIDE_CLONES __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
#else
#define VELMORA_WIDE_CLONES
#endif
