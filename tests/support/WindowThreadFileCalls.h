#pragma once
// The rule that the window's thread never waits for a file, held by the
// tests: linked into a test program, it stands in front of the C library's
// file calls (opening, looking at, reading, writing, mapping, naming,
// removing and closing a file or folder, by path, descriptor, folder
// (DIR*) or stream (FILE*); pathconf, inotify_add_watch, and the file
// calls made by number through syscall(), openat2 among them), and while a
// watch runs, a call made on the watching thread on the watched folder's
// file system, or on a descriptor, folder or stream opened there by any
// thread while the watch runs, is not made: it fails at once (EIO; a close
// still closes) and is kept as the watch's first forbidden call, named
// with its path, its stack written to standard error. Every other call is
// the library's, unchanged. The program must export these calls (the
// target's ENABLE_EXPORTS), so that the libraries it loads reach them.
//
// What lies on the file system: the device of the watched folder and the
// places it is mounted are taken as the watch starts (a stat of the folder
// and /proc/self/mountinfo: start the watch while the folder answers, and
// after any mount of it the test makes). A path is then walked as the
// system walks it, without touching the watched file system: made absolute
// from the working folder or the kernel's name of the *at call's folder,
// "//", "." and ".." taken as written, a link read only while the walk is
// still elsewhere (the last one followed too); it is on the file system
// once the walk reaches a place where that device is mounted (so also a
// path that passes it on the way, as "share/x/../.."). A folder or bind
// mount of it is on it wherever it shows; a mount made later is not seen.
// Watch a folder on a file system of its own (a share): on the root file
// system, every path there is watched.
//
// Threads: any; one watch at a time.

#ifdef __cplusplus
extern "C" {
#endif

// Forbids file calls on the calling thread under `folder` (its path as
// given and as the system resolves it) from now until the watch ends.
void window_file_calls_watch(const char* folder);
// Ends the watch; the first forbidden call stays readable.
void window_file_calls_end(void);
// The first call forbidden since the last watch began, as
// "stat(\"/mnt/share/a.jpg\")"; empty when none.
const char* window_file_calls_forbidden(void);

#ifdef __cplusplus
}
#endif
