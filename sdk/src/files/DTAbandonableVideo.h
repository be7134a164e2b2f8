#pragma once
// An unfinished video (files/DTUnfinishedVideo.h) whose every step is a call
// where a stop reaches it (files/DTCallHeld.h): its creation in its folder, the
// looks at the folder, its naming and its removal never wait on the
// owner's thread. Within a read_interruption_scope a stop gives a step up
// (read_interrupted; a patience: "does not answer", ETIMEDOUT); the step
// goes on, owning the video, and later steps are refused. A video still
// unfinished when its steps and this object are done is removed by the
// last of them, once the file system answers. A wait that lasts names the
// video as the user knows it (`shown`).
//
// A complete video is never removed for a naming given up: answered late,
// the naming does what it would have done in time (a taken name makes way
// for the next free one), a naming that fails keeps the video under its
// hidden name, and the log (which the program keeps, and the maker shows
// while it runs) and whoever asked to be told (tell_late_naming) learn
// where the video is. Nor for a naming refused before it was asked (the
// file system's places all taken): the video stays under its hidden name,
// which the log says.
//
// Results are errno values as unfinished_video gives them; a step refused
// because the file system's places for calls left waiting are all taken
// is EBUSY. One thread at a time.

#include "files/DTCallHeld.h"
#include "files/DTUnfinishedVideo.h"

#include <chrono>
#include <functional>
#include <string>

namespace kestrel {

class abandonable_video {
public:
    explicit abandonable_video(std::string shown, read_threads threads = read_threads::process());
    // Removes a file still unfinished without waiting (a call left to
    // itself); see discard() for a bounded wait.
    ~abandonable_video() = default;

    // The unfinished file's name is chosen before it is asked for, so that
    // a creation given up can be named (unfinished_path()).
    int create(const std::string& folder);
    // As unfinished_video's; empty when the step failed.
    std::string writer_path();
    std::string folder_path();
    bool folder_removed();
    struct naming {
        int error;
        std::string name; // the one the video took
    };
    // finish_as(name), and while the name is taken, finish_as each of
    // next_name(2), next_name(3) ... until one is free or it gives an
    // empty name (or is empty itself).
    naming finish_as(const std::string& name, std::function<std::string(int)> next_name = nullptr);
    int finish_replacing(const std::string& name);
    // Told, once the file system answers a naming given up, where the
    // complete video is: the naming's errno (0: named) and the video's path,
    // under the name it took or, failing that, its hidden one. On the
    // naming's thread, maybe after this object has gone: it must own what it
    // uses and not throw. Set before the naming.
    typedef std::function<void(int error, const std::string& path)> late_naming_told;
    void tell_late_naming(late_naming_told tell) { late_naming_told_ = std::move(tell); }
    int set_permissions(unsigned permissions);
    // Removes the file if it is still unfinished, after any step given up,
    // waiting for that at most `patience` whatever a stop says (from the
    // caller's scope when zero): true when its name is gone, false when
    // that is left to be done once the file system answers. Its close and
    // its folder are let go without a wait. The video takes no step after
    // it.
    bool discard(std::chrono::steady_clock::duration patience);
    // Where the unfinished file was made, or is to be made once the file
    // system answers, as create() was given its folder: empty before
    // create() and after a creation that failed.
    const std::string& unfinished_path() const { return unfinished_path_; }
    // Whether the creation answered with the file made.
    bool made() const { return made_; }
    // Whether a step was given up (its outcome is not known).
    bool given_up() const { return video_.given_up(); }

    // unfinished_video::probe as a call.
    static int probe(const std::string& folder);

private:
    template <class Result>
    Result step(std::function<Result(unfinished_video&)> body, Result failed);
    naming name(const std::string& wanted, std::function<naming(unfinished_video&)> give);

    call_held<unfinished_video> video_;
    late_naming_told late_naming_told_;
    std::string unfinished_path_;
    bool made_ = false;
};

} // namespace kestrel
