#include "shell/edit_steps.h"

void EditSteps::restart(std::vector<uint8_t> now) {
    std::lock_guard<std::mutex> hold(mutex_);
    undo_.clear();
    redo_.clear();
    current_ = std::move(now);
    ++changes_;
}

bool EditSteps::closeStepLocked(std::vector<uint8_t>&& now) {
    if (current_.empty()) {
        // The instance as first seen: where the first step starts.
        current_ = std::move(now);
        return false;
    }
    if (now == current_)
        return false;
    undo_.push_back(Step{std::move(current_), presetName_, preset_});
    if (undo_.size() > kMostSteps)
        undo_.pop_front();
    redo_.clear();
    current_ = std::move(now);
    ++changes_;
    return true;
}

bool EditSteps::closeStep(std::vector<uint8_t> now) {
    std::lock_guard<std::mutex> hold(mutex_);
    return closeStepLocked(std::move(now));
}

bool EditSteps::travel(std::deque<Step>& from, std::deque<Step>& to, std::vector<uint8_t>&& now,
                       std::vector<uint8_t>& target) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (from.empty())
        return false;
    Step step = std::move(from.back());
    from.pop_back();
    to.push_back(Step{std::move(now), std::move(presetName_), std::move(preset_)});
    target = std::move(step.block);
    presetName_ = std::move(step.presetName);
    preset_ = std::move(step.preset);
    current_ = target;
    ++changes_;
    return true;
}

bool EditSteps::stepBack(std::vector<uint8_t> now, std::vector<uint8_t>& target) {
    return travel(undo_, redo_, std::move(now), target);
}

bool EditSteps::stepForward(std::vector<uint8_t> now, std::vector<uint8_t>& target) {
    return travel(redo_, undo_, std::move(now), target);
}

bool EditSteps::canUndo() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return !undo_.empty();
}

bool EditSteps::canRedo() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return !redo_.empty();
}

uint64_t EditSteps::changeCount() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return changes_;
}

void EditSteps::presetLoaded(std::vector<uint8_t> now, const std::string& name) {
    std::lock_guard<std::mutex> hold(mutex_);
    // The state before the load keeps the preset it stood for: undoing the load names that again.
    std::vector<uint8_t> loaded = now;
    closeStepLocked(std::move(now));
    preset_ = std::move(loaded);
    presetName_ = name;
    ++changes_;
}

void EditSteps::presetSaved(std::vector<uint8_t> now, const std::string& name) {
    std::lock_guard<std::mutex> hold(mutex_);
    preset_ = std::move(now);
    presetName_ = name;
    ++changes_;
}

std::string EditSteps::presetName() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return presetName_;
}

void EditSteps::presetAndCurrent(std::vector<uint8_t>& preset, std::vector<uint8_t>& current) const {
    std::lock_guard<std::mutex> hold(mutex_);
    preset = preset_;
    current = current_;
}
