#include "engine/multiband.h"

#include "engine/compressor.h"
#include "engine/compressor_rules.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>

MultibandEngine::~MultibandEngine() {
    deleteAllBands();
}

Band* MultibandEngine::band(int32_t i) const {
    if (i < 0 || i >= bandCount())
        return nullptr;
    return static_cast<Band**>(bands.get())[i];
}

bool MultibandEngine::appendBand(Band* newBand) {
    if (!newBand->state.ringBudget) {
        // A band made elsewhere joins this instance's budget with the ring it has.
        newBand->state.ringBudget = &ringBudget;
        ringBudget.usedBytes += int64_t(newBand->state.rmsRing.getSize());
        if (ringBudget.usedBytes > ringBudget.peakBytes)
            ringBudget.peakBytes = ringBudget.usedBytes;
    }
    int32_t count = bandCount();
    auto* list = static_cast<Band**>(bands.resize((count + 1) * int32_t(sizeof(Band*))));
    if (!list || bandCount() != count + 1)
        return false;
    list[count] = newBand;
    // The driver's per-band scratch grows here, off the audio thread.
    sortedBands.resize((count + 1) * int32_t(sizeof(Band*)));
    laneScratch.resize((count + 1) * 2);
    kernelScratch.resize(kernelScratchBytes(count + 1));
    bandCountChanged(count + 1);
    return true;
}

void MultibandEngine::deleteAllBands() {
    LockHolder hold(lock);
    for (int32_t i = bandCount() - 1; i >= 0; --i)
        destroyBand(band(i));
    bands.resize(0);
    bandCountChanged(0);
}

int32_t MultibandEngine::loadDefaultBands() {
    LockHolder hold(lock);
    deleteAllBands();
    for (double f : {200.0, 1000.0, 5000.0, 24000.0}) {
        Band* created = createBand(f, &ringBudget);
        if (created && !appendBand(created))
            destroyBand(created);
    }
    return bandCount() * kParametersPerBand;
}

void MultibandEngine::resetProcessingState() {
    LockHolder hold(lock);
    // At a new rate every ring is sized anew: give them all back first, so the budget goes
    // to the bands in list order rather than to whichever grew before the others shrank.
    for (int32_t i = 0; i < bandCount(); ++i)
        if (band(i)->state.sampleRate != sampleRate)
            releaseRmsRing(band(i)->state);
    for (int32_t i = 0; i < bandCount(); ++i) {
        // The reset ends in a coefficient update, which then sees the new rate.
        Band& each = *band(i);
        setBandSampleRate(each, sampleRate);
        resetBandState(each);
    }
    inputPeakLeft = inputPeakRight = 0;
    outputPeakLeft = outputPeakRight = 0;
    outputGainPrevious = outputGain;
}

bool MultibandEngine::insertSplitBand(int32_t source, ParameterListChange& change) {
    LockHolder hold(lock);
    Band* added = createBand(kMaxBandFrequency, &ringBudget);
    if (!added)
        return false;
    setBandSampleRate(*added, sampleRate);
    updateBandCoefficients(*added, true);

    if (Band* current = band(source)) {
        double top = current->frequency();
        double bottom = kMinBandFrequency;
        for (int32_t i = 0; i < bandCount(); ++i) {
            const double other = band(i)->frequency();
            if (top > other && other > bottom)
                bottom = other;
        }
        copyBandSettings(*added, *current);
        setBandFrequency(*added, top, true);
        setBandFrequency(*current, (bottom + top) * 0.5, true);
    }
    if (!appendBand(added)) {
        destroyBand(added);
        return false;
    }
    change.first = bandCount() * kParametersPerBand - kParametersPerBand;
    change.count = kParametersPerBand;
    return true;
}

bool MultibandEngine::removeBand(int32_t index, ParameterListChange& change) {
    LockHolder hold(lock);
    int32_t count = bandCount();
    if (count < 2 || index < 0 || index >= count)
        return false;
    auto* list = static_cast<Band**>(bands.get());
    destroyBand(list[index]);
    std::memmove(list + index, list + index + 1, size_t(count - index - 1) * sizeof(Band*));
    bands.resize((count - 1) * int32_t(sizeof(Band*)));
    bandCountChanged(count - 1);
    change.first = index * kParametersPerBand;
    change.count = -kParametersPerBand;
    return true;
}

void MultibandEngine::setOutputGain(double gain) {
    LockHolder hold(lock);
    outputGain = compressor_rules::boundedGain(gain);
}

void MultibandEngine::reserveScratch(int32_t n) {
    LockHolder hold(lock);
    if (n > 0 && int64_t(n) * 16 <= INT32_MAX && splitScratch.getSize() < n * 16)
        splitScratch.resize(n * 16);
    const int32_t pointers = bandCount() * int32_t(sizeof(Band*));
    if (sortedBands.getSize() < pointers)
        sortedBands.resize(pointers);
}

void writeSilence(float* const* outputs, int32_t n) {
    if (!outputs || n <= 0)
        return;
    for (int c = 0; c < 2; ++c)
        if (outputs[c])
            std::memset(outputs[c], 0, size_t(n) * sizeof(float));
}

void MultibandEngine::processWithGlide(const float* const* inputs, float* const* outputs, int32_t n) {
    if (n <= 0 || !outputs)
        return;
    if (!outputs[0] || !outputs[1] || !inputs || !inputs[0] || !inputs[1]) {
        writeSilence(outputs, n);
        return;
    }

    // Held across the glide stage too, so the band list cannot change while it is walked.
    LockHolder hold(lock);

    // Whatever stored them, both gains stay within bounds, so the glide step stays finite.
    outputGain = compressor_rules::boundedGain(outputGain);
    outputGainPrevious = compressor_rules::boundedGain(outputGainPrevious);
    bool changed = outputGain != outputGainPrevious;
    const int32_t count = bandCount();
    for (int32_t i = 0; i < count; ++i) {
        Band& each = *band(i);
        BandState& state = each.state;
        state.gliding = false;
        state.stepFrequency = state.stepGain = state.stepThreshold = state.stepRatio = 0;
        state.glideFrequency = each.filter.frequency;
        state.glideGain = each.settings.gain;
        state.glideThreshold = each.settings.threshold;
        state.glideRatio = each.settings.ratio;
        state.targetFrequency = state.glideFrequency;
        state.targetGain = state.glideGain;
        state.targetThreshold = state.glideThreshold;
        state.targetRatio = state.glideRatio;
        auto prepare = [&](double current, double snap, double& glide, double& step) {
            // A step that overflows (values near the largest doubles) jumps instead.
            if (current != snap && std::isfinite((current - snap) / n)) {
                glide = snap;
                step = (current - snap) / n;
                state.gliding = true;
                changed = true;
            }
        };
        prepare(each.filter.frequency, state.snapFrequency, state.glideFrequency, state.stepFrequency);
        prepare(each.settings.gain, state.snapGain, state.glideGain, state.stepGain);
        prepare(each.settings.threshold, state.snapThreshold, state.glideThreshold, state.stepThreshold);
        prepare(each.settings.ratio, state.snapRatio, state.glideRatio, state.stepRatio);
    }

    if (!changed) {
        processBlock(inputs, outputs, n);
        return;
    }

    const double gainTarget = outputGain;
    const double gainStep = (gainTarget - outputGainPrevious) / n;
    outputGain = outputGainPrevious;
    // Every glide step moves the output gain and the gliding bands' settings on, then runs.
    // The last one lands on the values that were set, which the steps reach only up to
    // rounding (and the steps before it stay as they are).
    auto advance = [&](int32_t m, bool last) {
        outputGain = last ? gainTarget : outputGain + m * gainStep;
        for (int32_t i = 0; i < count; ++i) {
            Band& each = *band(i);
            BandState& state = each.state;
            if (!state.gliding)
                continue;
            if (state.stepFrequency != 0) {
                state.glideFrequency =
                    last ? state.targetFrequency : state.glideFrequency + m * state.stepFrequency;
                designFilter(each.filter, clampBandFrequency(state.glideFrequency));
            }
            state.glideGain = last ? state.targetGain : state.glideGain + m * state.stepGain;
            state.glideThreshold =
                last ? state.targetThreshold : state.glideThreshold + m * state.stepThreshold;
            state.glideRatio = last ? state.targetRatio : state.glideRatio + m * state.stepRatio;
            each.settings.gain = state.glideGain;
            each.settings.threshold = state.glideThreshold;
            each.settings.ratio = state.glideRatio;
            updateGlidedCoefficients(each);
        }
    };
    const ProcessingPath slices = glidePath(n);
    for (int32_t done = 0; done < n;) {
        const float* in[2] = {inputs[0] + done, inputs[1] + done};
        float* out[2] = {outputs[0] + done, outputs[1] + done};
        if (slices == ProcessingPath::Reference) {
            const int32_t m = n - done < kGlideStep ? n - done : kGlideStep;
            advance(m, done + m == n);
            processBlock(in, out, m);
            done += m;
            continue;
        }
        // The pass kernel runs a slice of steps in one go, each step with the levels and
        // output gain it would have had on its own.
        int32_t length = 0;
        for (int32_t step = 0; step < kGlideStepsPerSlice && done + length < n; ++step) {
            const int32_t m = n - done - length < kGlideStep ? n - done - length : kGlideStep;
            advance(m, done + length + m == n);
            glideOutputGains[step] = outputGain;
            for (int32_t i = 0; i < count; ++i) {
                Band& each = *band(i);
                if (!each.state.gliding)
                    continue;
                const CompressorConstants c = compressorConstants(each);
                each.state.glideLevels[step] = {
                    c.kneeLow,    c.kneeHigh,       c.kneeScale,           c.inverseThreshold,
                    c.logKneeTop, each.state.slope, each.state.makeupGain, c.expanding};
            }
            length += m;
        }
        const GlideSlice slice = {slices, glideOutputGains};
        processBlock(in, out, length, &slice);
        done += length;
    }
    outputGainPrevious = outputGain;
}

ProcessingPath MultibandEngine::glidePath(int32_t n) const {
    const int32_t count = bandCount();
    const ProcessingPath path =
        processingPath == ProcessingPath::Automatic ? chooseProcessingPath(n, count) : processingPath;
    if (!isKernelPath(path) || count == 0)
        return ProcessingPath::Reference;
    // The kernel takes the filters, and the bands it hands to compressBlock, as fixed for a
    // slice.
    for (int32_t i = 0; i < count; ++i) {
        const Band& each = *band(i);
        if (each.state.stepFrequency != 0 ||
            (each.state.gliding && (each.settings.feedbackDetector || each.settings.programDependentRelease)))
            return ProcessingPath::Reference;
    }
    return path;
}

namespace {

// The largest magnitude in x (0 for none; a NaN never counts), sixteen lanes at a time (four
// for a glide step's eight): a scalar maximum is one long chain of dependent comparisons.
float largestMagnitude(const float* x, int32_t m) {
    typedef float Four __attribute__((vector_size(16)));
    typedef int32_t FourBits __attribute__((vector_size(16)));
    constexpr int kVectors = 4;
    Four lanes[kVectors] = {};
    int32_t i = 0;
    auto raise = [&](Four& lane, const float* at) {
        Four sample;
        std::memcpy(&sample, at, sizeof sample);
        const Four size = Four(FourBits(sample) & 0x7fffffff);
        lane = size > lane ? size : lane;
    };
    for (; i + 4 * kVectors <= m; i += 4 * kVectors)
        for (int v = 0; v < kVectors; ++v)
            raise(lanes[v], x + i + 4 * v);
    for (; i + 4 <= m; i += 4) // a glide step's eight
        raise(lanes[0], x + i);
    for (int v = 1; v < kVectors; ++v)
        lanes[0] = lanes[v] > lanes[0] ? lanes[v] : lanes[0];
    float largest = 0;
    for (int t = 0; t < 4; ++t)
        largest = lanes[0][t] > largest ? lanes[0][t] : largest;
    for (; i < m; ++i) {
        const float size = std::fabs(x[i]);
        largest = size > largest ? size : largest;
    }
    return largest;
}

// Raises a stored peak by the largest magnitude of x, compared in float precision.
void meterPeak(double& peak, const float* x, int32_t m) {
    const float largest = largestMagnitude(x, m);
    if (largest > float(peak))
        peak = largest;
}

// What each band of a sub-block does, in frequency order, for either path: its role with the
// remainder that reaches it (the first band at or above half the sample rate takes everything
// that is left, any further one gets silence, so nothing above the top is summed twice) and
// whether it is summed (only the soloed band while solo is on). Returns whether the remainder
// that the bands leave is summed too: only where no band reaches the top and nothing is soloed.
bool planBands(Band* const* sorted, int32_t count, double sampleRate, bool solo, const Band* soloBand,
               BandRole* roles, bool* summed) {
    const double nyquist = sampleRate * 0.5;
    bool topTaken = false;
    for (int32_t i = 0; i < count; ++i) {
        if (nyquist > splitFrequency(sorted[i]->filter.frequency, sampleRate)) {
            roles[i] = BandRole::Split;
        } else {
            roles[i] = topTaken ? BandRole::Silent : BandRole::Top;
            topTaken = true;
        }
        summed[i] = !(solo && sorted[i] != soloBand);
    }
    return !topTaken && !solo;
}

void sumInto(float* out, const float* band, int32_t m, double gain, bool first, bool mayOverflow) {
    if (!mayOverflow) {
        if (first) {
            for (int32_t i = 0; i < m; ++i)
                out[i] = float(double(band[i]) * gain);
        } else {
            for (int32_t i = 0; i < m; ++i)
                out[i] = float(double(band[i]) * gain + double(out[i]));
        }
        return;
    }
    if (first) {
        for (int32_t i = 0; i < m; ++i)
            out[i] = compressor_rules::saturatedFloat(double(band[i]) * gain);
    } else {
        for (int32_t i = 0; i < m; ++i)
            out[i] = compressor_rules::saturatedFloat(double(band[i]) * gain + double(out[i]));
    }
}

} // namespace

void MultibandEngine::processBlock(const float* const* inputs, float* const* outputs, int32_t m,
                                   const GlideSlice* glide) {
    const int64_t scratchBytes = int64_t(m) * 16;
    float* remainderLeft =
        scratchBytes <= INT32_MAX ? static_cast<float*>(splitScratch.resize(int32_t(scratchBytes))) : nullptr;
    const int32_t count = bandCount();
    Band** sorted = nullptr;
    if (count > 0)
        sorted = static_cast<Band**>(sortedBands.resize(count * int32_t(sizeof(Band*))));
    if (!remainderLeft || splitScratch.getSize() != scratchBytes ||
        (count > 0 && (!sorted || sortedBands.getSize() != count * int32_t(sizeof(Band*))))) {
        writeSilence(outputs, m);
        return;
    }
    float* remainderRight = remainderLeft + m;
    float* bandLeft = remainderRight + m;
    float* bandRight = bandLeft + m;

    std::memcpy(remainderLeft, inputs[0], size_t(m) * sizeof(float));
    std::memcpy(remainderRight, inputs[1], size_t(m) * sizeof(float));
    // Saturating every rounding to float costs the serial loops dearly; it is needed only near
    // the top of the float range, which ordinary signals never come near. A glided slice keeps
    // the count step by step, and saturates throughout if any step needs it (where no float
    // can overflow, saturating gives the same bits).
    const int32_t stepLength = glide ? kGlideStep : m;
    bool mayOverflow = false;
    for (int32_t from = 0; from < m; from += stepLength) {
        const int32_t length = m - from < stepLength ? m - from : stepLength;
        const float left = largestMagnitude(remainderLeft + from, length);
        const float right = largestMagnitude(remainderRight + from, length);
        const float inputPeak = right > left ? right : left;
        if (!(double(inputPeak) <= compressor_rules::overflowFreeInputPeak(bandCount())))
            overflowHoldSamples = int64_t(compressor_rules::kOverflowHoldSeconds * sampleRate) + length;
        mayOverflow |= overflowHoldSamples > 0;
        overflowHoldSamples = overflowHoldSamples > length ? overflowHoldSamples - length : 0;
    }
    const bool metering = meteringWanted;
    if (metering) {
        meterPeak(inputPeakLeft, remainderLeft, m);
        meterPeak(inputPeakRight, remainderRight, m);
    }

    if (count > 0) {
        std::memcpy(sorted, bands.get(), size_t(count) * sizeof(Band*));
        std::sort(sorted, sorted + count,
                  [](const Band* a, const Band* b) { return a->filter.frequency < b->filter.frequency; });
    }

    auto* lanes = static_cast<uint8_t*>(laneScratch.resize(count * 2));
    if (count > 0 && (!lanes || laneScratch.getSize() != count * 2)) {
        writeSilence(outputs, m);
        return;
    }
    auto* roles = reinterpret_cast<BandRole*>(lanes);
    bool* summed = reinterpret_cast<bool*>(lanes + count);
    // Read once: solo may be switched or move to another band while the sub-block runs.
    const bool solo = soloing;
    const bool sumRemainder =
        planBands(sorted, count, sampleRate, solo, solo ? band(soloedBand) : nullptr, roles, summed);

    const ProcessingPath path =
        glide
            ? glide->path
            : (processingPath == ProcessingPath::Automatic ? chooseProcessingPath(m, count) : processingPath);
    if (path != ProcessingPath::Reference && count > 0) {
        processBlockFast(path, sorted, roles, summed, sumRemainder, count, outputs, remainderLeft, m,
                         mayOverflow, glide ? glide->outputGains : nullptr);
        if (metering) {
            meterPeak(outputPeakLeft, outputs[0], m);
            meterPeak(outputPeakRight, outputs[1], m);
        }
        return;
    }

    const double gain = outputGain;
    bool written = false;
    for (int32_t i = 0; i < count; ++i) {
        Band& each = *sorted[i];
        float* signalLeft = bandLeft;
        float* signalRight = bandRight;
        switch (roles[i]) {
        case BandRole::Split:
            splitBlock(each.filter, remainderLeft, remainderRight, bandLeft, bandRight, m, mayOverflow);
            break;
        case BandRole::Top:
            signalLeft = remainderLeft;
            signalRight = remainderRight;
            break;
        case BandRole::Silent:
            std::memset(bandLeft, 0, size_t(m) * sizeof(float));
            std::memset(bandRight, 0, size_t(m) * sizeof(float));
            break;
        }
        compressBlock(each, signalLeft, signalRight, m, sampleRate, mayOverflow);
        if (!summed[i])
            continue;
        sumInto(outputs[0], signalLeft, m, gain, !written, mayOverflow);
        sumInto(outputs[1], signalRight, m, gain, !written, mayOverflow);
        written = true;
    }

    if (sumRemainder) {
        sumInto(outputs[0], remainderLeft, m, gain, !written, mayOverflow);
        sumInto(outputs[1], remainderRight, m, gain, !written, mayOverflow);
        written = true;
    }
    if (!written)
        writeSilence(outputs, m);

    if (metering) {
        meterPeak(outputPeakLeft, outputs[0], m);
        meterPeak(outputPeakRight, outputs[1], m);
    }
}

void MultibandEngine::processBlockFast(ProcessingPath path, Band** sorted, const BandRole* roles,
                                       const bool* summed, bool sumRemainder, int32_t count,
                                       float* const* outputs, float* streams, int32_t m, bool mayOverflow,
                                       const double* stepOutputGains) {
    void* chunkScratch = kernelScratch.resize(kernelScratchBytes(count));
    if (!chunkScratch || kernelScratch.getSize() != kernelScratchBytes(count)) {
        writeSilence(outputs, m);
        return;
    }
    KernelBlock block;
    block.bands = sorted;
    block.roles = roles;
    block.summed = summed;
    block.count = count;
    block.remainder[0] = streams;
    block.remainder[1] = streams + m;
    block.output[0] = outputs[0];
    block.output[1] = outputs[1];
    block.m = m;
    block.outputGain = outputGain;
    block.sampleRate = sampleRate;
    block.sumRemainder = sumRemainder;
    block.mayOverflow = mayOverflow;
    block.glideOutputGains = stepOutputGains;
    block.chunkScratch = chunkScratch;
    runPassKernel(path, block);
}
