#pragma once
// A second engine state on a second thread, for computations made of
// independent steps (the wavelengths of a chromatic star, the columns of a
// slice). It exists only where the machine has a second core; the caller runs
// every other step on it and adds the results in order, so the outcome is the
// one-state loop's. While it lives neither state splits its transforms: the two
// states fill both cores.

#include "engine/helperthread.h"
#include "engine/simstate.h"

#include <functional>
#include <memory>

namespace qm {

class SecondEngine {
public:
    // No second state unless wanted and there is a second core. The seeing
    // screen of the current strength is drawn first, so both states share it.
    // The state and its thread are made on first use and kept in s; each use
    // copies s's inputs into the state afresh.
    SecondEngine(SimState& s, bool wanted);
    ~SecondEngine();
    SecondEngine(const SecondEngine&) = delete;
    SecondEngine& operator=(const SecondEngine&) = delete;

    explicit operator bool() const { return state_ != nullptr; }
    SimState& state() { return *state_; }
    void run(std::function<void()> job) { helper_->run(std::move(job)); }
    void wait() { helper_->wait(); }

private:
    SimState& s_;
    bool splitWas_;
    HelperThread* helper_ = nullptr;   // both kept in s_ between uses
    SimState* state_ = nullptr;
};

} // namespace qm
