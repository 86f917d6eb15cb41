// The kernel of 2 cells side by side, for every x86-64 (SSE2) and AArch64 (NEON) processor.
#define CELL_LANES_NAMESPACE lanes_2
#define CELL_LANES_WIDTH 2
#if defined(__SSE2__) || defined(__ARM_NEON)
#define CELL_LANES_BUILT 1
#else
#define CELL_LANES_BUILT 0
#endif
#include "model/cell_lanes_kernel.hpp"
