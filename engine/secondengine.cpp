#include "engine/secondengine.h"

#include "engine/turbulence.h"

namespace qm {

SecondEngine::SecondEngine(SimState& s, bool wanted) : s_(s), splitWas_(s.SplitTransforms)
{
    if (!wanted || std::thread::hardware_concurrency() < 2)
        return;
    helper_ = std::make_unique<HelperThread>(true);
    s.TurbRequested = s.Params[prmTurbulence].Value;
    GenerateTurbulence(s);
    state_ = std::make_unique<SimState>();
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
