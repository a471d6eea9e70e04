// The saved state block: the whole instance (bands, view options, output gain, solo, the
// graph's analyzer and gain curve, and the other setting of the A/B compare) as little-endian
// packed bytes, written into the instance's stateBuffer for the host and read back from any
// host-supplied block. Reading never trusts the block: a header that does not fit keeps the
// bands, but still resets current band, solo and output gain.
#pragma once

#include "engine/band.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class CompressorEffect;

constexpr int32_t kBandRecordSize = 56;
// The bytes of a written block besides the band records: the header (8), grid and tabs (8),
// output gain (8), solo (4) and the graph's view flags (4, analyzer and gain curve).
constexpr int32_t kStateBlockFixedBytes = 32;
// After the view flags, only while the A/B compare holds a second setting: which slot the
// instance is (0 A, 1 B), the other slot's byte count, then the other slot as a block of its
// own (without a trailer). Older readers stop at the view flags and never see it.
constexpr int32_t kSlotTrailerBytes = 8;

// Where a block's own setting ends (complete: the header is sound and every field up to the
// view flags is there; otherwise settingSize is the whole block) and what its trailer holds;
// other is null when there is no well-formed trailer.
struct StateBlockParts {
    size_t settingSize;
    bool complete;
    int32_t activeSlot;
    const uint8_t* other;
    size_t otherSize;
};
StateBlockParts splitStateBlock(const uint8_t* block, size_t size);

// The sound of a complete block (bands and output gain) with the instance's view options
// (grid, tabs, analyzer, gain curve), no solo, and the instance's other A/B slot: what loading
// a preset into the instance means. False for a block that is not complete, or out of memory.
bool soundOfInstanceKeepingItsView(CompressorEffect& fx, const uint8_t* block, size_t size,
                                   std::vector<uint8_t>& out);

// A block written from settings rather than an instance: default view options, no solo.
struct StoredBand {
    double frequency;
    BandSettings settings;
};
std::vector<uint8_t> encodeStateBlock(const StoredBand* bands, int32_t count, double outputGain);

// Builds the block in fx.stateBuffer and stores its address in *block (null when the block
// cannot be built). Returns the byte count, 0 on failure.
int32_t getStateBlock(CompressorEffect& fx, void** block);

// The same block written into block (for the shell's own keeping: presets, A/B, undo), not
// touching stateBuffer, which a host may still be reading. False when out of memory.
bool copyStateBlock(CompressorEffect& fx, std::vector<uint8_t>& block);

// copyStateBlock with its parts; false when out of memory (or, never for the instance's own
// block, when the block is not complete).
bool copyStateBlockParts(CompressorEffect& fx, std::vector<uint8_t>& block, StateBlockParts& parts);

// Loads a block of size bytes. Blocks of 48 bytes or fewer are ignored.
void setStateBlock(CompressorEffect& fx, const void* block, int64_t size);
