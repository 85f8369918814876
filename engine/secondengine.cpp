#include "engine/secondengine.h"

#include "engine/turbulence.h"

namespace qm {

SecondEngine::SecondEngine(SimState& s, bool wanted) : s_(s), splitWas_(s.SplitTransforms)
{
    if (!wanted || std::thread::hardware_concurrency() < 2)
        return;
    if (!s.SecondThread)
        s.SecondThread = std::make_unique<HelperThread>(true);
    if (!s.SecondState)
        s.SecondState = std::make_unique<SimState>();
    helper_ = s.SecondThread.get();
    s.TurbRequested = s.Params[prmTurbulence].Value;
    GenerateTurbulence(s);
    state_ = s.SecondState.get();
    state_->copyInputsFrom(s);
    s.SplitTransforms = state_->SplitTransforms = false;
}

SecondEngine::~SecondEngine()
{
    if (helper_)
        helper_->wait();
    s_.SplitTransforms = splitWas_;
}

} // namespace qm
