#pragma once
// The maker's own lines on standard output, from any thread: its progress
// (a line per ten percent, or one line rewritten in place on a terminal)
// and lines of their own, which never land inside an in-place progress
// line. Each call writes under one lock.

#include <unistd.h>

#include <iomanip>
#include <mutex>
#include <ostream>
#include <string>

namespace make_show {

class progress_lines {
public:
    explicit progress_lines(std::ostream& out) : out_(out), terminal_(isatty(STDOUT_FILENO) != 0) {}

    void progress(double percent) {
        const int whole = static_cast<int>(percent);
        std::lock_guard<std::mutex> lock(mutex_);
        // The producer reports its last percent more than once.
        if (whole == shown_)
            return;
        if (terminal_) {
            out_ << "\rproducing: " << std::setw(3) << whole << " %" << std::flush;
            in_place_ = true;
        } else {
            if (shown_ >= 0 && whole / 10 == shown_ / 10 && whole != 100)
                return;
            out_ << "producing: " << std::setw(3) << whole << " %" << std::endl;
        }
        shown_ = whole;
    }

    // The next progress starts a line of its own.
    void line(const std::string& text) {
        std::lock_guard<std::mutex> lock(mutex_);
        end_in_place();
        out_ << text << std::endl;
    }

    void end_progress() {
        std::lock_guard<std::mutex> lock(mutex_);
        end_in_place();
    }

private:
    void end_in_place() {
        if (in_place_)
            out_ << std::endl;
        in_place_ = false;
    }

    std::ostream& out_;
    const bool terminal_;
    std::mutex mutex_;
    int shown_ = -1;
    bool in_place_ = false; // a progress line waits for its end
};

} // namespace make_show
