// The pass kernel's passes with 2 lanes, built as the engine builds that width.
#include "kernel_width_entries.h"

const KernelWidth kSse2Width = kernel_width::entries<2>(ProcessingPath::Sse2Kernel);
