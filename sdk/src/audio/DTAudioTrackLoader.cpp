#include "audio/DTAudioTrackLoader.h"

#include "audio/DTAudioTrackFile.h"
#include "base/DTLog.h"
#include "files/DTFailureReason.h"

#include <thread>

namespace kestrel {

void open_audio_track_async(const char* path, const audio_format* format, bool loop,
                            const audio_track_callback& callback) {
    audio_track_answer answer;
    if (callback)
        answer = [callback](audio_track_ptr track, const refused_file&) { callback(track); };
    open_audio_track_explained(path, format, loop, answer);
}

void open_audio_track_explained(const char* path, const audio_format* format, bool loop,
                                const audio_track_answer& answer) {
    // A standard thread: the bound arguments go with it and are destroyed
    // on it, a hand-over the race checker sees (Boost.Thread's detach frees
    // them inside a library it cannot look into).
    std::thread(&open_audio_track_worker, std::string(path ? path : ""),
                format ? audio_format::copy(*format) : audio_format_ptr(), loop, answer)
        .detach();
}

void open_audio_track_worker(const std::string& path, const audio_format_ptr& format, bool loop,
                             const audio_track_answer& answer) {
    audio_track_ptr track;
    refused_file reason;
    try {
        track = create_audio_track_file(path, format.get(), loop);
    } catch (...) {
        // Whatever went wrong, the receiver learns it as "no track" and why;
        // the log keeps the whole of it, since the plain callback drops it.
        const std::exception_ptr failure = std::current_exception();
        reason = refused_file{refusal_of(failure), errors::reason_of(failure)};
        log_line(logger::warning()) << "[open_audio_track] " << log_quoted(path)
                                    << " not opened: " << errors::log_text_of(failure) << std::endl;
    }
    if (answer)
        answer(track, reason);
}

} // namespace kestrel
