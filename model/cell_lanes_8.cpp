// The kernel of 8 cells side by side, for processors with AVX-512; built with -mavx512f.
#define CELL_LANES_NAMESPACE lanes_8
#define CELL_LANES_WIDTH 8
#if defined(__AVX512F__)
#define CELL_LANES_BUILT 1
#else
#define CELL_LANES_BUILT 0
#endif
#include "model/cell_lanes_kernel.hpp"
