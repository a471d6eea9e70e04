// The Linux host program's editor run: the editor opened in an X window of the host while a
// signal plays through the effect from an audio thread, with or without effEditIdle calls;
// then a picture of the window, and/or the editor opened and closed many times with what the
// process holds (memory, threads, descriptors) before and after.
#pragma once

#include "host/plugin_session.h"

#include <string>
#include <vector>

struct X11EditorRunOptions {
    bool callsIdle = false;
    // Empty: no picture.
    std::string picturePath;
    // How long the editor runs before the picture is read back.
    int settleMs = 1500;
    int openCloseCount = 0;
};

// Returns the program's exit status: 0 when everything asked for was done.
int runEditorOnX11(PluginSession& session, const std::vector<float>& left, const std::vector<float>& right,
                   double sampleRate, const X11EditorRunOptions& options);
