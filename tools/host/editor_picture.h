// The editor as a host shows it (Windows): opens the plug-in's editor in a host window, plays
// a signal through the effect from an audio thread while the editor runs, so that the meters
// and the graph move, then reads the window back from the screen and writes it as a PNG.
#pragma once

#include "host/plugin_session.h"

#include <string>
#include <vector>

// left and right are played in a loop, in real time, until the picture is taken settleMs after
// the editor opened. False, with error filled, when the editor or the file could not be made.
bool writeEditorPicture(PluginSession& session, const std::vector<float>& left, const std::vector<float>& right,
                        double sampleRate, int settleMs, const std::string& path, std::string& error);
