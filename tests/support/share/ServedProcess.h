#pragma once
// The process the share serves: the one that started its server. Its
// leader is watched in /proc, so that the share can answer everything once
// that process is ending, whatever way it ends: returned from main or
// called exit, died of a signal (a crash, an abort, a kill), a sanitizer's
// report (which ends the process from the reporting thread), or its main
// thread gone. A thread of it that waits for a request the share holds
// cannot end (the kernel waits for the answer, also for a killed process),
// so without this a dying test would stand until the answer that nobody
// sends. One thread calls it.

namespace kestrel {
namespace share {

class served_process {
public:
    // The parent process, from now on; one already gone is ending.
    served_process();
    ~served_process();
    served_process(const served_process&) = delete;
    served_process& operator=(const served_process&) = delete;

    // Whether it has begun to end: its leader exiting or a zombie, a
    // signal that kills pending on it, its core being dumped, or it gone.
    bool ending() const;

private:
    int folder_ = -1; // its /proc folder, held so that a later process of that number is never taken for it
};

} // namespace share
} // namespace kestrel
