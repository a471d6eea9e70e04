// The A/B compare: two complete settings of one instance, the active one being the instance
// itself and the other kept beside it (CompressorEffect::otherSlot, saved in the state block).
// Both operations are steps of the edit history. Not on the audio thread.
#pragma once

#include <cstdint>

class CompressorEffect;

// Stores the instance into its slot and loads the other, telling the host as a state load
// does. Before a second setting exists the other slot starts as a copy of this one, so the
// first switch changes only which slot is active. False when out of memory.
bool switchAbSlot(CompressorEffect& fx);

// Copies the instance's setting into the other slot (the instance itself is unchanged).
bool copyToOtherSlot(CompressorEffect& fx);

// 0 while A is active, 1 while B is.
int32_t activeAbSlot(CompressorEffect& fx);
