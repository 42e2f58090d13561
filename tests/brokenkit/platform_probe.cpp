// A bundle that calls a platform run-loop service through a declaration of
// its own, without the framework's weak attribute: it refers to the service
// strongly, so a host without the platform could not load it. The platform
// name check must name it.
#include "mp_sdk_common.h"

extern "C" void* CFRunLoopGetCurrent(void);

extern "C" MP_EXPORT void* platformprobe_loop()
{
    return CFRunLoopGetCurrent();
}
