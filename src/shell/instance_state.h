// Whole-instance changes made by the shell itself (a preset, the other A/B setting, an undo):
// the instance replaced by a state block as a host's state load replaces it, and the host told
// what changed as the band-list operations tell it. Never on the audio thread: both allocate.
#pragma once

#include <cstdint>
#include <vector>

class CompressorEffect;

// Loads block (a new glide snapshot, new band states), then tells the host, the lock released:
// the parameter-list change when the band count changed, the value of every parameter that
// changed or is new (as automation), and the general change.
void loadStateAndTellHost(CompressorEffect& fx, const std::vector<uint8_t>& block);
