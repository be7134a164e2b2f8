// No tests here: what ThreadSanitizer is told about Qt in this program.
//
// Qt is not built for ThreadSanitizer. Results come back from photo and
// music workers as events posted to the GUI thread: Qt guards its queue of
// posted events with its own futex-based lock, which the race checker
// cannot see, so memory Qt's queue wrote on a worker and later freed looks
// raced when the GUI thread reuses it. The view models hand over their own
// data through a mailbox lock the checker does see; only the memory calls
// made from inside QtCore are left unchecked.
extern "C" const char* __tsan_default_suppressions()
{
    return "called_from_lib:libQt6Core.so\n";
}
