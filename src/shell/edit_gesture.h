// The editor's edits of a band setting as gestures: the change, stored under the instance lock,
// then (the lock released, as the host may call back) what the host is told of it. An editor
// changes settings only through these, so that each edit states what the host hears.
#pragma once

#include "shell/compressor_effect.h"

#include <cstdint>

// What an edit tells the host: nothing, a move of the gesture (the parameter's new value, as
// automation), or the end of the gesture.
enum class EditReport : int32_t { Nothing, Move, End };

// Tells the host of an edit of band index's setting kind as report says.
void reportEdit(CompressorEffect& fx, int32_t index, int32_t kind, EditReport report);

// changeSetting, then the report when the change was stored; false when it was not.
bool editSetting(CompressorEffect& fx, int32_t index, int32_t kind, double value, EditReport report,
                 SettingChange how = SettingChange::ByKind);

// changeSettingFrom (the new value worked out from the current one under the same hold of the
// lock), then the report when the change was stored.
template <class Edit>
bool editSettingFrom(CompressorEffect& fx, int32_t index, int32_t kind, Edit edit, EditReport report) {
    if (!fx.changeSettingFrom(index, kind, edit))
        return false;
    reportEdit(fx, index, kind, report);
    return true;
}
