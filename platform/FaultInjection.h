// A seam for tests: makes chosen platform operations fail, to exercise the paths that real
// failures (a full disk, a refused rename, a slot that cannot be created) would take.
#pragma once

namespace kervale::platform {

enum class Fault {
    fileOpen,
    fileWrite,
    fileRename,
    directoryCreate,
    mailSlotCreate,
    threadStart,
    mapView,
    count_
};

// The next `times` calls of the operation fail, after `skip` calls that succeed.
void injectFault(Fault fault, int times = 1, int skip = 0);
void clearFaults();

// Called by the backends at the top of each operation that can be made to fail.
bool faultDue(Fault fault);

}  // namespace kervale::platform
