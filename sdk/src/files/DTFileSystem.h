#pragma once
// Which file system a file lies on, learnt without asking that file
// system anything: a share that hangs is told apart from this machine's
// disk without a wait. A file system is named by its device number (as
// stat and /proc/self/mountinfo give it), so a share mounted in two
// places, or bound elsewhere, is one file system; 0 when it cannot be
// told. Any thread.

#include <string>

namespace kestrel {

typedef unsigned long long file_system_id;

// Calls that wait for another program to let go of its lease on a file
// wait for that program, not for the file system: their places are counted
// apart, under the file system's number with this bit set. A device number
// (makedev) never has it: its major and minor take 44 bits.
inline constexpr file_system_id lease_waits_bit = 1ull << 63;
inline constexpr file_system_id lease_waits_on(file_system_id file_system) { return file_system | lease_waits_bit; }

// The file system of an open descriptor (also one located with O_PATH),
// from what the system holds of it: never asks the file system.
file_system_id file_system_of_descriptor(int fd);

// The file system of a path is found by following it one name at a time
// (file_system_reached, files/DTPathWalk.h): its words alone cannot tell,
// since links on the way lead elsewhere.

// Whether the mount table says the system follows links lying on the
// mount numbered `mount_id` (statx's stx_mnt_id): false for a mount made
// nosymfollow; true for one it does not list (detached, or outside this
// process's root), whose own word (statfs) alone tells. Asks no file
// system.
bool links_followed_on_mount(unsigned long long mount_id);

// Whether the descriptor lies on a disk of this machine, which answers
// without the network: a file system on a block device (shares and
// whatever else has no device number of its own are not) that is no
// network_block_device. Asks no file system.
bool on_local_disk(int fd);

// Whether the block device MAJOR:MINOR has the network behind it although
// it has a device number of its own: a network block device, a disk of an
// iSCSI session or of NVMe over a network, a Ceph image, or a device made
// of one of these. Remembered per device.
bool network_block_device(unsigned major, unsigned minor);

} // namespace kestrel
