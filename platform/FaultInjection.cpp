#include "FaultInjection.h"

#include <atomic>
#include <cstddef>

namespace kervale::platform {

namespace {

struct Plan {
    std::atomic<int> skip{0};
    std::atomic<int> times{0};
};

Plan plans[static_cast<std::size_t>(Fault::count_)];

Plan& planOf(Fault fault) { return plans[static_cast<std::size_t>(fault)]; }

}  // namespace

void injectFault(Fault fault, int times, int skip) {
    Plan& plan = planOf(fault);
    plan.skip = skip;
    plan.times = times;
}

void clearFaults() {
    for (Plan& plan : plans) {
        plan.skip = 0;
        plan.times = 0;
    }
}

bool faultDue(Fault fault) {
    Plan& plan = planOf(fault);
    if (plan.times.load(std::memory_order_relaxed) <= 0) return false;
    if (plan.skip.load(std::memory_order_relaxed) > 0) {
        --plan.skip;
        return false;
    }
    return --plan.times >= 0;
}

}  // namespace kervale::platform
