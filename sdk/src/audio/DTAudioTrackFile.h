#pragma once
// The user's music file as an audio track: the first audio stream, decoded
// while it is read and converted to one fixed track format. A looping track
// starts the file again at its end without a gap. Every operation runs
// under the track's own lock, so the preview's sound thread and the
// producer may share it.

#include "audio/DTAudioTrack.h"
#include "media/DTAudioConvert.h"
#include "media/DTDecoder.h"
#include "media/DTMediaSplitter.h"
#include "media/DTPacketQueue.h"

#include <boost/thread/recursive_mutex.hpp>

#include <string>

namespace kestrel {

class audio_track_file : public audio_track {
public:
    // format: copied; null means 44100 Hz, signed 16-bit, stereo. Throws
    // when the file cannot be opened, has no audio stream or its codec
    // cannot be opened; the error carries the reason in plain words
    // (errinfo_reason: "not found", "empty file", "no sound in it", ...).
    audio_track_file(const std::string& path, const audio_format* format, bool loop);

    double duration() const override;
    double position() const override;
    // Reads and drops dt ms.
    double advance(double dt) override;
    // Moves to t ms (on a looping track, t wraps into the file) and makes
    // an ended track readable again; returns the new position.
    double seek(double t) override;
    // The next block of at most d ms (and at most most_frames_per_read
    // frames) in the track format; empty at the end and for a length under
    // one frame.
    audio_data_timed_ptr read(double d) override;
    audio_format_ptr format() const override;

private:
    // Queues the next packet of the chosen stream; false at the end.
    bool fill();
    // Decodes the packet (an empty one drains the decoder) into the
    // converter.
    void push_decoded(const media_packet_ptr& packet);
    // Back to the very first packet of the file.
    void rewind();

    mutable boost::recursive_mutex mutex_;
    media_splitter_ptr splitter_;
    audio_decoder_info_ptr decoder_info_;
    audio_format_ptr track_format_;
    audio_decoder_ptr decoder_;
    audio_convert_ptr converter_;
    int stream_index_ = -1;
    packet_queue packets_;
    double position_ = 0.0;
    double duration_ = 0.0;
    bool ended_ = false;
    const bool loop_;
    bool restarted_ = false; // rewound, and no packet read since
};

audio_track_ptr create_audio_track_file(const std::string& path, const audio_format* format,
                                        bool loop);

} // namespace kestrel
