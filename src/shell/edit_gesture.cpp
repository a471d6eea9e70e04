#include "shell/edit_gesture.h"

#include "shell/parameters.h"

void reportEdit(CompressorEffect& fx, int32_t index, int32_t kind, EditReport report) {
    if (report != EditReport::Nothing)
        notifyHostParameter(fx, index * kParametersPerBand + kind, report == EditReport::End);
    // A gesture is one step of the edit history, however many moves it made.
    if (report == EditReport::End)
        closeEditStep(fx);
}

bool editSetting(CompressorEffect& fx, int32_t index, int32_t kind, double value, EditReport report,
                 SettingChange how) {
    if (!fx.changeSetting(index, kind, value, how))
        return false;
    reportEdit(fx, index, kind, report);
    return true;
}
