// The table printed after a batch: per file its length, the peaks in and out, the samples
// clipped (for integer outputs; "-" for float ones), and "ok" or why it failed, then a line
// with the count of files rendered and failed and the speed as a multiple of real time.
#pragma once

#include "render/batch_render.h"

#include <string>

std::string formatBatchSummary(const BatchRun& run);
