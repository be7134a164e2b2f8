#pragma once
// The rule that the window's thread never waits for a file, held by the
// tests: linked into a test program, it stands in front of the C library's
// file calls (opening, looking at, reading, writing, naming, removing, and
// closing a file or folder), and while a watch runs, a call made on the
// watching thread on a path under the watched folder, or on a descriptor
// opened there by any thread, is not made: it fails at once (EIO; a close
// still closes) and is kept as the watch's first forbidden call, named
// with its path, its stack written to standard error. Every other call is
// the library's, unchanged. The program must export these calls (the
// target's ENABLE_EXPORTS), so that the libraries it loads reach them.
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
