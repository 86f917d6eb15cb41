// The kernel of 4 cells side by side, for processors with AVX2; built with -mavx2.
#define CELL_LANES_NAMESPACE lanes_4
#define CELL_LANES_WIDTH 4
#if defined(__AVX2__)
#define CELL_LANES_BUILT 1
#else
#define CELL_LANES_BUILT 0
#endif
#include "model/cell_lanes_kernel.hpp"
