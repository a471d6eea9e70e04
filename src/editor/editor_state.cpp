#include "editor/editor_state.h"

#include "editor/resource.h"
#include "shell/compressor_effect.h"

#include <new>

EditorState* editorStateOf(CompressorEffect& fx) {
    if (!fx.editorState)
        fx.editorState = new (std::nothrow) EditorState();
    return static_cast<EditorState*>(fx.editorState);
}

const EditorState* findEditorState(const CompressorEffect& fx) {
    return static_cast<const EditorState*>(fx.editorState);
}

void releaseEditorStateOf(CompressorEffect& fx) {
    auto* state = static_cast<EditorState*>(fx.editorState);
    fx.editorState = nullptr;
    if (!state)
        return;
    delete state->graphBitmap;
    delete state;
}

void refreshBandPanel(CompressorEffect& fx) {
    const EditorState* state = findEditorState(fx);
    if (state && state->bandPanel)
        SendMessageA(state->bandPanel, MSG_REFRESH_BAND, 0, 0);
}

GraphBands copyGraphBands(CompressorEffect& fx, const uint32_t* meterTime) {
    EditorState* state = editorStateOf(fx);
    if (!state) {
        GraphBands none;
        none.currentBand = fx.currentBand;
        none.solo = fx.soloCurrentBand != 0;
        return none;
    }
    return copyGraphBands(fx, state->bandCopies, meterTime);
}
