// EditorState: what the editor keeps for one instance beyond the instance's own members, in
// types the shell cannot name: the response graph's back buffer. Made on first use and
// released with the instance (the editor table's releaseState), not with the editor
// window, so the buffer survives closing and reopening the editor.
#pragma once

#include "raster/pixo.h"

class CompressorEffect;

struct EditorState {
    PIXO_SysBitmap* graphBitmap = nullptr; // owned; made by the graph's first paint
};

// The instance's record, made when missing; null when out of memory.
EditorState* editorStateOf(CompressorEffect& fx);
// Deletes the instance's record (and the back buffer with it).
void releaseEditorStateOf(CompressorEffect& fx);
