// The saved state block: the whole instance (bands, view options, output gain, solo, the
// graph's analyzer and gain curve) as little-endian packed bytes, written into the instance's
// stateBuffer for the host and read back from any host-supplied block. Reading never trusts the block: a header that does not
// fit keeps the bands, but still resets current band, solo and output gain.
#pragma once

#include <cstdint>

class CompressorEffect;

constexpr int32_t kBandRecordSize = 56;
// The bytes of a written block besides the band records: the header (8), grid and tabs (8),
// output gain (8), solo (4) and the graph's view flags (4, analyzer and gain curve).
constexpr int32_t kStateBlockFixedBytes = 32;

// Builds the block in fx.stateBuffer and stores its address in *block (null when the block
// cannot be built). Returns the byte count, 0 on failure.
int32_t getStateBlock(CompressorEffect& fx, void** block);

// Loads a block of size bytes. Blocks of 48 bytes or fewer are ignored.
void setStateBlock(CompressorEffect& fx, const void* block, int64_t size);
