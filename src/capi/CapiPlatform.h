#pragma once

#include <QString>

// The few operating-system calls the driver binding needs, kept in one place
// so that another platform only replaces this file's implementation.
namespace kalvendo::capiplatform {

// The driver writes to sockets; a write to a vanished server must give an
// error code instead of ending the program. A desktop program has no use for
// SIGPIPE, so it is ignored whatever handler was set.
void IgnoreBrokenPipe();

// The driver library keeps its application table in POSIX shared memory and
// ends the process when it cannot create it, so this is asked first.
bool SharedMemoryUsable();

// Calls the driver's wait entry point (capi20_waitformessage) with a time-out
// in milliseconds; a negative time-out waits without limit.
unsigned WaitForMessage(void* entry, unsigned applId, int timeoutMs);

} // namespace kalvendo::capiplatform
