// Undo and redo for an instance, for both editors: a step closes at the end of every editor
// gesture (edit_gesture), every band-list operation, preset load and A/B switch (closeEditStep,
// declared with the instance), so a whole drag is one step. Undo and redo restore the instance
// exactly (its whole state block) and tell the host as a state load does, with automation of
// every value that changed. Host automation between steps becomes part of the next step; a
// host's state load starts the history afresh, since earlier steps no longer lead to the
// instance the host gave. None of these may run on the audio thread.
#pragma once

#include <cstdint>
#include <string>

class CompressorEffect;

// Forgets every step; the instance as it stands is where the next one starts.
void restartEditHistory(CompressorEffect& fx);
bool canUndoEdit(CompressorEffect& fx);
bool canRedoEdit(CompressorEffect& fx);
// False when there was nothing to undo (redo). Changes made since the last step are kept for redo.
bool undoEdit(CompressorEffect& fx);
bool redoEdit(CompressorEffect& fx);
// Rises with every step, undo, redo and preset load or save: an editor redraws its preset
// control when it changes.
uint64_t editChangeCount(CompressorEffect& fx);

// The preset last loaded or saved ("" for none), and whether the sound (bands and output gain;
// not view options, solo or the other A/B setting) has changed since, as of the last step.
std::string currentPresetName(CompressorEffect& fx);
bool modifiedSincePreset(CompressorEffect& fx);
// A preset was loaded into the instance (a step) or the instance saved as one (no step).
void notePresetLoaded(CompressorEffect& fx, const std::string& name);
void notePresetSaved(CompressorEffect& fx, const std::string& name);
