// The pass kernel's passes with 8 lanes, built as the engine builds that width.
#include "kernel_width_entries.h"

const KernelWidth kAvx512Width = kernel_width::entries<8>(ProcessingPath::Avx512Kernel);
