#include "DTAudioTrackLoader.h"

#include "DTAudioTrackFile.h"

#include <boost/thread/thread.hpp>

namespace kestrel {

void open_audio_track_async(const char* path, const audio_format* format, bool loop,
                            const audio_track_callback& callback) {
    boost::thread loader(&open_audio_track_worker, std::string(path ? path : ""),
                         format ? audio_format::copy(*format) : audio_format_ptr(), loop,
                         callback);
    loader.detach();
}

void open_audio_track_worker(const std::string& path, const audio_format_ptr& format, bool loop,
                             const audio_track_callback& callback) {
    audio_track_ptr track;
    try {
        track = create_audio_track_file(path, format.get(), loop);
    } catch (...) {
        // Whatever went wrong, the receiver learns it as "no track".
    }
    if (callback)
        callback(track);
}

} // namespace kestrel
