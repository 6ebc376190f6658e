// The only loop that touches every pixel. It is kept free of calls and aliasing so the compiler
// vectorises it: a stride-3 de-interleave needs a byte shuffle (SSSE3 pshufb or better), which the
// x86-64 baseline lacks, so where the build found the loader's indirect functions to work
// (SLICEVOL_SPLIT_CLONES) the compiler builds extra copies for newer processors and the loader
// picks the best one the machine has. Elsewhere (see CMakeLists.txt) there is one portable copy.
#include "conversion/splitPixels.h"

#ifdef SLICEVOL_SPLIT_CLONES
#define SPLIT_VARIANTS __attribute__((target_clones("avx2", "ssse3", "default")))
#else
#define SPLIT_VARIANTS
#endif

SPLIT_VARIANTS
void splitPixels(const unsigned char *__restrict pixels, std::size_t n,
                 unsigned char *__restrict red, unsigned char *__restrict green,
                 unsigned char *__restrict blue) {
    for (std::size_t i = 0; i < n; i++) {
        blue[i] = pixels[3 * i];
        green[i] = pixels[3 * i + 1];
        red[i] = pixels[3 * i + 2];
    }
}
