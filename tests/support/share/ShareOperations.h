#pragma once
// What the share does with each request of the kernel: the same on the
// source's tree, answered at once or, while its kind is held, later. The
// session's user data is the share_state; one thread serves it all.
// Nothing is cached by the kernel (names, attributes, file data), so every
// call reaches the share; locks are left to the kernel, which keeps them
// locally.

#define FUSE_USE_VERSION 34
#include <fuse_lowlevel.h>

#include "HeldRequests.h"
#include "ShareNodes.h"

#include <string>

namespace kestrel {
namespace share {

struct share_state {
    std::string source;
    share_nodes nodes;
    held_requests held;
};

const fuse_lowlevel_ops& share_operations();

} // namespace share
} // namespace kestrel
