// Test builds of the library only: arms the platform's fault seam from KERVALE_TEST_FAULTS
// ("threadStart:1,mailSlotCreate:2"; a fault name and how many of its next calls fail) before
// the library attaches.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "FaultInjection.h"

namespace {

struct Named {
    const char* name;
    kervale::platform::Fault fault;
};

constexpr Named kFaults[] = {{"mailSlotCreate", kervale::platform::Fault::mailSlotCreate},
                             {"threadStart", kervale::platform::Fault::threadStart},
                             {"mapView", kervale::platform::Fault::mapView}};

__attribute__((constructor(101))) void armFaults() {
    const char* plan = std::getenv("KERVALE_TEST_FAULTS");
    if (plan == nullptr) return;
    char copy[256];
    std::snprintf(copy, sizeof copy, "%s", plan);
    char* rest = nullptr;
    for (char* item = strtok_r(copy, ",", &rest); item != nullptr; item = strtok_r(nullptr, ",", &rest)) {
        char* colon = std::strchr(item, ':');
        const int times = colon != nullptr ? std::atoi(colon + 1) : 1;
        if (colon != nullptr) *colon = '\0';
        for (const Named& known : kFaults)
            if (std::strcmp(item, known.name) == 0) kervale::platform::injectFault(known.fault, times);
    }
}

}  // namespace
