// Preloaded into a program under test (LD_PRELOAD): stands in for a worker
// of the media library that is still at work when the program has printed
// its last line, as one left waiting for a file that never answers may
// be. While the process ends, after everything main() printed, a thread of
// its own writes one warning line where the library logs (std::cout), as
// the library writes a line: "[kestrel][warning][stand-in] a worker's late
// line". Once the line is written, the file LATE_LOG_DONE names (when set)
// is created. The end waits for the line 10 s at most.

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

namespace {

class late_worker {
public:
    late_worker() : thread_([this] { log_at_the_end(); }) {}
    ~late_worker() {
        std::unique_lock<std::mutex> lock(mutex_);
        ending_ = true;
        changed_.notify_all();
        const bool logged = changed_.wait_for(lock, std::chrono::seconds(10), [this] { return logged_; });
        lock.unlock();
        if (logged)
            thread_.join();
        else
            thread_.detach();
    }

private:
    void log_at_the_end() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return ending_; });
        lock.unlock();
        static const std::string line = "[kestrel][warning][stand-in] a worker's late line\n";
        std::cout.write(line.data(), static_cast<std::streamsize>(line.size()));
        std::cout.flush();
        if (const char* done = std::getenv("LATE_LOG_DONE"))
            ::close(::open(done, O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
        lock.lock();
        logged_ = true;
        changed_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    bool ending_ = false;
    bool logged_ = false;
    std::thread thread_;
};

late_worker worker;

} // namespace
