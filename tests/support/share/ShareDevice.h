#pragma once
// The share's end of /dev/fuse: mounted here (only root may), then handed
// to a libfuse session through its custom I/O, which reads without ever
// blocking (a request withdrawn between the poll and the read leaves
// nothing waiting) and grants parallel directory operations in the answer
// to the kernel's INIT: libfuse 3.14 leaves that flag out whatever the
// file system wants, and without it a held look-up holds every other one
// of its folder in the kernel.

#define FUSE_USE_VERSION 34
#include <fuse_lowlevel.h>

#include <string>

namespace kestrel {
namespace share {

// The device's descriptor, mounted at `mount_point`; -1 with why_not said.
int mount_device(const std::string& mount_point, std::string& why_not);

// Hands the descriptor over to the session, which closes it in the end.
bool hand_to_session(fuse_session* session, int device);

} // namespace share
} // namespace kestrel
