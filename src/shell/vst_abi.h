// The VST 2.4 binary interface as this plug-in uses it: the effect record, the callback
// signatures and the opcode numbers. Written from the published layout; 64-bit only.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define VST_CALL __cdecl
#define VST_EXPORT __declspec(dllexport)
#else
#define VST_CALL
#define VST_EXPORT __attribute__((visibility("default")))
#endif

struct AEffect;

using audioMasterCallback = intptr_t(VST_CALL*)(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                                void* ptr, float opt);
using AEffectDispatcherProc = intptr_t(VST_CALL*)(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                                  void* ptr, float opt);
using AEffectProcessProc = void(VST_CALL*)(AEffect* effect, float** inputs, float** outputs, int32_t sampleFrames);
using AEffectProcessDoubleProc = void(VST_CALL*)(AEffect* effect, double** inputs, double** outputs,
                                                 int32_t sampleFrames);
using AEffectSetParameterProc = void(VST_CALL*)(AEffect* effect, int32_t index, float value);
using AEffectGetParameterProc = float(VST_CALL*)(AEffect* effect, int32_t index);

struct AEffect {
    int32_t magic;
    AEffectDispatcherProc dispatcher;
    AEffectProcessProc process;
    AEffectSetParameterProc setParameter;
    AEffectGetParameterProc getParameter;
    int32_t numPrograms;
    int32_t numParams;
    int32_t numInputs;
    int32_t numOutputs;
    int32_t flags;
    intptr_t resvd1;
    intptr_t resvd2;
    int32_t initialDelay;
    int32_t realQualities;
    int32_t offQualities;
    float ioRatio;
    void* object;
    void* user;
    int32_t uniqueID;
    int32_t version;
    AEffectProcessProc processReplacing;
    AEffectProcessDoubleProc processDoubleReplacing;
    char future[56];
};

static_assert(sizeof(void*) == 8, "the effect record layout is the 64-bit one");
static_assert(sizeof(AEffect) == 192, "AEffect size");
static_assert(offsetof(AEffect, dispatcher) == 8, "AEffect::dispatcher offset");
static_assert(offsetof(AEffect, numParams) == 44, "AEffect::numParams offset");
static_assert(offsetof(AEffect, flags) == 56, "AEffect::flags offset");
static_assert(offsetof(AEffect, object) == 96, "AEffect::object offset");
static_assert(offsetof(AEffect, uniqueID) == 112, "AEffect::uniqueID offset");
static_assert(offsetof(AEffect, processReplacing) == 120, "AEffect::processReplacing offset");

constexpr int32_t kEffectMagic = 0x56737450; // 'VstP'

constexpr int32_t effFlagsHasEditor = 1;
constexpr int32_t effFlagsCanReplacing = 16;
constexpr int32_t effFlagsProgramChunks = 32;

constexpr int32_t kPlugCategEffect = 1;

// Host callback opcodes.
enum : int32_t {
    audioMasterAutomate = 0,
    audioMasterVendorSpecific = 35,
    audioMasterBeginEdit = 43,
    audioMasterEndEdit = 44,
};

// Dispatcher opcodes.
enum : int32_t {
    effOpen = 0,
    effClose = 1,
    effSetProgram = 2,
    effGetProgram = 3,
    effSetProgramName = 4,
    effGetProgramName = 5,
    effGetParamLabel = 6,
    effGetParamDisplay = 7,
    effGetParamName = 8,
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effEditGetRect = 13,
    effEditOpen = 14,
    effEditClose = 15,
    effEditIdle = 19,
    effIdentify = 22,
    effGetChunk = 23,
    effSetChunk = 24,
    effProcessEvents = 25,
    effCanBeAutomated = 26,
    effString2Parameter = 27,
    effGetProgramNameIndexed = 29,
    effGetPlugCategory = 35,
    effGetEffectName = 45,
    effGetVendorString = 47,
    effGetProductString = 48,
    effGetVendorVersion = 49,
    effVendorSpecific = 50,
    effCanDo = 51,
    effGetTailSize = 52,
    effGetParameterProperties = 56,
    effGetVstVersion = 58,
};

// The editor rectangle answered to effEditGetRect.
struct ERect {
    int16_t top, left, bottom, right;
};

extern "C" VST_EXPORT AEffect* VSTPluginMain(audioMasterCallback hostCallback);
