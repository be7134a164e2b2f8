#pragma once
// Opens a music file as an audio track on a thread of its own, so that the
// caller does not wait for the file to be read and its codec opened.

#include "audio/DTAudioTrack.h"
#include "files/DTFileRefusal.h"

#include <boost/function.hpp>

#include <string>

namespace kestrel {

typedef boost::function<void(audio_track_ptr)> audio_track_callback;
// The track, or an empty pointer and why: a refusal, or plain words ("not
// found", "empty file", "no sound in it"); the reason is empty with a
// track.
typedef boost::function<void(audio_track_ptr, const refused_file& reason)> audio_track_answer;

// Returns at once. A detached thread builds an audio_track_file for (path,
// format, loop) and calls the callback once on that thread: with the track,
// or with an empty pointer when it cannot be built (the log tells why). The
// path, the format and the callback are copied first, so the caller's
// objects may go at once; the callback must not throw. Throws
// std::system_error (and makes no callback) when no thread can be started.
void open_audio_track_async(const char* path, const audio_format* format, bool loop,
                            const audio_track_callback& callback);
// The same with the reason of a failure.
void open_audio_track_explained(const char* path, const audio_format* format, bool loop,
                                const audio_track_answer& answer);

// What the loader thread runs.
void open_audio_track_worker(const std::string& path, const audio_format_ptr& format, bool loop,
                             const audio_track_answer& answer);

} // namespace kestrel
