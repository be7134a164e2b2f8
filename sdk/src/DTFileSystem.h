#pragma once
// Which file system a file lies on, learnt without asking that file
// system anything: a share that hangs is told apart from this machine's
// disk without a wait. A file system is named by the mount it lies under
// (the system's mount id, as /proc/self/mountinfo lists it); 0 when it
// cannot be told. Any thread.

#include <string>

namespace kestrel {

typedef unsigned long long file_system_id;

// The mount of an open descriptor (also one located with O_PATH).
file_system_id file_system_of_descriptor(int fd);

// The mount the path lies under, by its words alone (relative to the
// working folder): the longest mount point that starts it. A link on the
// way is not followed, since that would ask its file system.
file_system_id file_system_of_path(const std::string& path);

// Whether the block device MAJOR:MINOR has the network behind it although
// it has a device number of its own: a network block device, a disk of an
// iSCSI session or of NVMe over a network, a Ceph image, or a device made
// of one of these. Remembered per device.
bool network_block_device(unsigned major, unsigned minor);

} // namespace kestrel
