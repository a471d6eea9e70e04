// Tarnwell's output gain, which it keeps in its state block and offers to no host parameter:
// setting it rewrites that one field of the block the instance hands out and loads the block
// back, so every other setting stays as it was. The field follows the band records, the grid
// and tabs words: a little-endian double, the linear gain.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class PluginSession;

// Output gains the command line accepts, in dB; the plug-in holds its gain within +-120 dB.
constexpr double kLowestOutputGainDb = -120.0;
constexpr double kHighestOutputGainDb = 120.0;

// Writes the linear gain for `db` into a state block; false when the block has no output gain
// field (a block of another layout or cut short), leaving it unchanged.
bool writeOutputGain(std::vector<uint8_t>& block, double db);

// The linear output gain a state block holds; false when it has none.
bool readOutputGain(const std::vector<uint8_t>& block, double& gain);

// Sets the instance's output gain; false with a one-line error when its state block has none.
bool setOutputGain(PluginSession& plugin, double db, std::string& error);
