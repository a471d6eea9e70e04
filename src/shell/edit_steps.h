// The steps of an instance's edit history as state blocks: each step is the whole instance as
// it was before the step, with the preset it then stood for, so that going back restores
// exactly what was there and the preset control names what the user had. Knows nothing of
// the instance (edit_history.h does the instance's side). Used on non-audio threads only (it
// allocates); its mutex is never held while anything else is called.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

class EditSteps {
public:
    // The most steps kept; the oldest goes first.
    static constexpr size_t kMostSteps = 128;

    // Forgets every step; now is where the next one starts.
    void restart(std::vector<uint8_t> now);
    // Closes a step when now differs from where the last one left the instance: that earlier
    // state goes onto the undo list (the oldest dropped past kMostSteps), the redo list is
    // cleared. False when nothing changed. The first call only records where steps start.
    bool closeStep(std::vector<uint8_t> now);
    // Takes the state to restore for an undo (or redo), keeping now for the way back; false
    // when there is none.
    bool stepBack(std::vector<uint8_t> now, std::vector<uint8_t>& target);
    bool stepForward(std::vector<uint8_t> now, std::vector<uint8_t>& target);
    bool canUndo() const;
    bool canRedo() const;
    // Rises with every closed step, undo, redo, restart and preset load or save.
    uint64_t changeCount() const;

    // The instance holds the preset name now (loaded: a step of its own; saved: no step).
    void presetLoaded(std::vector<uint8_t> now, const std::string& name);
    void presetSaved(std::vector<uint8_t> now, const std::string& name);
    // The preset's name ("" for none), its state when loaded or saved, and where the last step
    // left the instance.
    std::string presetName() const;
    void presetAndCurrent(std::vector<uint8_t>& preset, std::vector<uint8_t>& current) const;

private:
    // An instance's state and the preset (name and state when loaded or saved) it stood for.
    struct Step {
        std::vector<uint8_t> block;
        std::string presetName;
        std::vector<uint8_t> preset;
    };

    bool closeStepLocked(std::vector<uint8_t>&& now);
    bool travel(std::deque<Step>& from, std::deque<Step>& to, std::vector<uint8_t>&& now,
                std::vector<uint8_t>& target);

    mutable std::mutex mutex_;
    std::deque<Step> undo_, redo_;
    std::vector<uint8_t> current_;
    std::vector<uint8_t> preset_;
    std::string presetName_;
    uint64_t changes_ = 0;
};
