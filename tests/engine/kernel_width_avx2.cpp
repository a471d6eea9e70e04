// The pass kernel's passes with 4 lanes, built as the engine builds that width.
#include "kernel_width_entries.h"

const KernelWidth kAvx2Width = kernel_width::entries<4>(ProcessingPath::Avx2Kernel);
