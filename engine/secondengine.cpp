#include "engine/secondengine.h"

#include "engine/turbulence.h"

namespace qm {

SecondEngine::SecondEngine(SimState& s, bool wanted) : s_(s), splitWas_(s.SplitTransforms)
{
    if (!wanted || std::thread::hardware_concurrency() < 2)
        return;
    if (!s.SecondThread)
        s.SecondThread = std::make_unique<HelperThread>(true);
    helper_ = s.SecondThread.get();
    s.TurbRequested = s.Params[prmTurbulence].Value;
    GenerateTurbulence(s);
    // Made and given its inputs on its own thread, so that its planes start
    // out in that core's caches.
    helper_->run([&s] {
        if (!s.SecondState)
            s.SecondState = std::make_unique<SimState>();
        s.SecondState->copyInputsFrom(s);
    });
    helper_->wait();
    state_ = s.SecondState.get();
    s.SplitTransforms = state_->SplitTransforms = false;
    // Neither state's transform helper has work while this lives.
    for (SimState* st : {&s, state_})
        if (st->TransformHelper)
            st->TransformHelper->rest();
}

SecondEngine::~SecondEngine()
{
    if (helper_)
        helper_->wait();
    s_.SplitTransforms = splitWas_;
}

} // namespace qm
