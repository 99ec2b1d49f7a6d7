#include "closer/held_back.h"

#include <algorithm>
#include <utility>

namespace {

struct Held {
    HeldBack::Work work;
    std::vector<sv::rt::Ref> decisions;
};

Held& held()
{
    static Held state;
    return state;
}

} // namespace

void HeldBack::holdClose(id timer)
{
    held().work.closes.push_back(sv::rt::Ref::retain(timer));
}

void HeldBack::holdDecision(id application)
{
    forget(application);
    if (application)
        held().decisions.push_back(sv::rt::Ref::retain(application));
}

void HeldBack::holdDecisionFirst(id application)
{
    forget(application);
    if (application)
        held().decisions.insert(held().decisions.begin(), sv::rt::Ref::retain(application));
}

void HeldBack::holdRecheck()
{
    held().work.recheck = true;
}

void HeldBack::forget(id application)
{
    std::erase_if(held().decisions, [application](const sv::rt::Ref& kept) { return kept.get() == application; });
}

HeldBack::Work HeldBack::takeClosesAndRecheck()
{
    return std::exchange(held().work, Work {});
}

sv::rt::Ref HeldBack::takeNextDecision()
{
    auto& decisions = held().decisions;
    if (decisions.empty())
        return {};
    sv::rt::Ref first = std::move(decisions.front());
    decisions.erase(decisions.begin());
    return first;
}

void HeldBack::clear()
{
    held() = Held {};
}
