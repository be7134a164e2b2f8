// Linked into every test program of the race-checked build
// (tests/CMakeLists.txt): the C library's time zone is set up before any
// thread starts, in the test program and in every program it starts.
//
// With TZ unset, the C library makes its time zone state anew at every
// turn of a time into local time (mktime, localtime, Qt's local times,
// the times of files): it frees the zone's name the call before made and
// makes it again, under a lock of its own that the race checker does not
// see (it waits on the kernel directly). Two threads doing so look like a
// race inside the C library (tzset_internal). A suppression by that name
// matches only where the C library's debug symbols are installed (the
// function is not exported: without them the frame has no name), and
// one by the library's name would hide every race on memory the C
// library frees for our code. With TZ set, the state is made once and
// kept: so TZ is set here, before main, to what an unset TZ means (the
// system's zone, /etc/localtime, or UTC without one), and the state made
// at once. A TZ the environment holds is kept. The programs the tests
// start inherit it.

#include <cstdlib>
#include <ctime>

namespace {

[[maybe_unused]] const bool timeZoneSetUp = [] {
    ::setenv("TZ", ":/etc/localtime", 0);
    ::tzset();
    return true;
}();

} // namespace
