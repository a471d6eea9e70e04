// The dispatcher: everything the host asks that is not audio or a parameter value. Opcodes
// it does not handle, and every call without an instance, answer 0.
#include "shell/compressor_effect.h"
#include "shell/edit_history.h"
#include "shell/module.h"
#include "shell/parameters.h"
#include "shell/state_block.h"

#include <cmath>
#include <cstring>

namespace {

constexpr intptr_t kIdentity = 0x4E764566;
constexpr intptr_t kCanDoAnswer = 0xbeef0000;
// The interface version this effect implements: hosts treat a plug-in answering less than
// 2000 as a 1.x one and ignore what it says about automation.
constexpr intptr_t kVstVersion = 2400;
constexpr const char* kEffectName = "Tarnwell-STAND64";
constexpr const char* kVendorName = "Vantor";
// Host buffers for the effect, product and vendor strings hold 31 characters and the terminator.
constexpr size_t kIdentityTextSize = 32;
constexpr int16_t kDefaultEditorWidth = 400;
constexpr int16_t kDefaultEditorHeight = 300;
// Sample rates outside this range are not real ones; like non-finite rates they are ignored,
// since filter designs, time constants and ring lengths all scale with the rate.
constexpr double kLowestSampleRate = 1000;
constexpr double kHighestSampleRate = 1000000;

// 1 when the text was written: scanners take 0 as "no text".
intptr_t copyIdentityText(void* ptr, const char* text) {
    if (!ptr)
        return 0;
    auto* out = static_cast<char*>(ptr);
    const size_t length = std::strlen(text);
    const size_t kept = length < kIdentityTextSize - 1 ? length : kIdentityTextSize - 1;
    std::memcpy(out, text, kept);
    out[kept] = '\0';
    return 1;
}

intptr_t emptyText(void* ptr) {
    if (ptr)
        static_cast<char*>(ptr)[0] = '\0';
    return 0;
}

intptr_t editorRectangle(CompressorEffect& fx, void* ptr) {
    if (!ptr)
        return 0;
    // Without an editor window the editor reports its default size at the origin.
    int32_t width = kDefaultEditorWidth, height = kDefaultEditorHeight;
    editorClientSize(fx, width, height);
    fx.editorRect.top = 0;
    fx.editorRect.left = 0;
    fx.editorRect.bottom = int16_t(height);
    fx.editorRect.right = int16_t(width);
    *static_cast<ERect**>(ptr) = &fx.editorRect;
    return 1;
}

intptr_t vendorSpecific(CompressorEffect& fx, int32_t index, intptr_t value, void* ptr, float opt) {
    if (!ptr)
        return 0;
    if (index == kVendorParameterRange)
        return extendedParameterRange(fx, value, static_cast<double*>(ptr));
    if (index == kVendorDisplayValue)
        return extendedParameterDisplay(fx, value, opt, static_cast<char*>(ptr));
    return 0;
}

intptr_t canDo(const void* ptr) {
    if (!ptr)
        return 0;
    const auto* text = static_cast<const char*>(ptr);
    if (!std::strcmp(text, "hasVantorExtensions") || !std::strcmp(text, "hasVantorViewAsConfig"))
        return kCanDoAnswer;
    return 0;
}

} // namespace

intptr_t VST_CALL dispatchEffect(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                 float opt) {
    CompressorEffect* fx = CompressorEffect::fromEffect(effect);
    if (!fx)
        return 0;
    switch (opcode) {
    case effClose:
        delete fx;
        return 0;
    case effGetProgramName:
    case effGetProgramNameIndexed:
        return emptyText(ptr);
    case effGetParamLabel:
        return ptr ? parameterUnit(*fx, index, static_cast<char*>(ptr)) : 0;
    case effGetParamDisplay:
        return ptr ? parameterDisplay(*fx, index, static_cast<char*>(ptr)) : 0;
    case effGetParamName:
        return ptr ? parameterName(*fx, index, static_cast<char*>(ptr)) : 0;
    case effSetSampleRate: {
        if (!(opt >= kLowestSampleRate && opt <= kHighestSampleRate))
            return 0;
        LockHolder hold(fx->lock);
        fx->sampleRate = double(opt);
        fx->resetProcessingState();
        return 0;
    }
    case effSetBlockSize:
        // Remembered for the resume, which sizes the buffers so that the first block after it
        // allocates nothing; the answer stays 0.
        fx->announcedBlockSize = value > 0 && value <= kLongestAnnouncedBlock ? int32_t(value) : 0;
        return 0;
    case effMainsChanged:
        if (value == 0) {
            LockHolder hold(fx->lock);
            fx->resetProcessingState();
        } else {
            fx->prepareForBlockSize(fx->announcedBlockSize);
        }
        return 0;
    case effEditGetRect:
        return editorRectangle(*fx, ptr);
    case effEditOpen:
        return openEditor(*fx, ptr) ? 1 : 0;
    case effEditClose:
        closeEditor(*fx);
        return 0;
    case effIdentify:
        return kIdentity;
    case effGetChunk:
        return ptr ? getStateBlock(*fx, static_cast<void**>(ptr)) : 0;
    case effSetChunk:
        if (ptr && value >= 0) {
            setStateBlock(*fx, ptr, int64_t(value));
            // The host's setting: earlier steps no longer lead to it.
            restartEditHistory(*fx);
        }
        return 0;
    case effCanBeAutomated:
        return parameterCanBeAutomated(*fx, index) ? 1 : 0;
    case effGetPlugCategory:
        return kPlugCategEffect;
    case effGetEffectName:
    case effGetProductString:
        return copyIdentityText(ptr, kEffectName);
    case effGetVendorString:
        return copyIdentityText(ptr, kVendorName);
    case effGetVstVersion:
        return kVstVersion;
    case effVendorSpecific:
        return vendorSpecific(*fx, index, value, ptr, opt);
    case effCanDo:
        return canDo(ptr);
    default:
        return 0;
    }
}
