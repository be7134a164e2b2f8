#pragma once
// A media file opened as an audio/video source: pictures decoded, scaled to
// 640 pixels wide (height in the stream's proportion; pictures of another
// size midway are scaled to the same) in RGB24, each with its
// start and duration in ms; sound decoded and converted to 44100 Hz signed
// 16-bit stereo, handed out in blocks of any asked length. One demultiplexer
// feeds both: packets of the stream not being read wait in its own queue,
// so each source goes at its own pace; a source switched off drops its
// packets. At the end of the file the decoders give what they still hold.
// Opening throws what the splitter, the decoders and the converters throw;
// so do reads. No thread of its own: the sources and seek are used by one
// thread at a time. The sources live as long as the av_video_file.

#include "media/DTAudioConvert.h"
#include "media/DTDecoder.h"
#include "media/DTMediaSplitter.h"
#include "media/DTPacketQueue.h"
#include "media/DTPictureConvert.h"
#include "sources/DTAVSource.h"

#include <memory>

namespace kestrel {

class av_video_file_impl;

class av_video_file_video_source : public video_source {
public:
    explicit av_video_file_video_source(av_video_file_impl* file) : file_(file) {}

    double duration() const override;
    // The start of the last picture read.
    double position() const override;
    // Reads and drops pictures until their durations add up to dt.
    double advance(double dt) override;
    bool enabled() const override;
    // Switching a source on again empties its queue (and the converted
    // sound) and resets its decoder.
    void set_enabled(bool enabled) override;
    video_data_timed_ptr read() override;
    video_format_ptr format() const override;
    double frame_rate() const override;

private:
    av_video_file_impl* file_; // owns this source
};

class av_video_file_audio_source : public audio_source {
public:
    explicit av_video_file_audio_source(av_video_file_impl* file) : file_(file) {}

    double duration() const override;
    // The seek time plus the blocks read since.
    double position() const override;
    double advance(double dt) override;
    bool enabled() const override;
    void set_enabled(bool enabled) override;
    // round(duration x 44.1) frames (at most most_frames_per_read), fewer
    // at the end of the file; empty for less than one frame and after the
    // end.
    audio_data_timed_ptr read(double duration) override;
    audio_format_ptr format() const override;

private:
    av_video_file_impl* file_; // owns this source
};

class av_video_file_impl : public av_source::Impl {
public:
    // A video stream of no size or one that scales to an unusable height
    // is errors::invalid_argument.
    explicit av_video_file_impl(const char* path);
    ~av_video_file_impl() override;

    video_source* video() override { return video_source_.get(); }
    audio_source* audio() override { return audio_source_.get(); }
    // Empties both queues and the converted sound and moves the file to t
    // ms (the key picture at or before it); the decoders start afresh.
    // errors::invalid_argument for a time that is not a number.
    double seek(double t) override;
    void apply_settings(media_settings_ptr) override {}

    double video_duration() const { return video_duration_; }
    double audio_duration() const { return audio_duration_; }

private:
    friend class av_video_file_video_source;
    friend class av_video_file_audio_source;

    void open_video(int index, const stream_info& stream);
    void open_audio(int index, const stream_info& stream);
    // Reads one packet into the queue of its stream; false at the end.
    bool fetch_packet();
    media_packet_ptr next_packet(packet_queue& queue);
    // A scaler from pictures of this geometry to the output format.
    picture_convert_ptr converter_from(int width, int height, dt_pixel_format_t format);
    video_data_timed_ptr read_picture();
    audio_data_timed_ptr read_sound(double duration);
    // Queues the sound the decoder and the converter hold at the end.
    void drain_sound();
    void switch_video(bool on);
    void switch_audio(bool on);
    // Drops the queued, decoded and converted sound.
    void restart_sound();

    media_splitter_ptr splitter_;
    video_format_ptr video_format_;
    audio_format_ptr audio_format_;
    audio_format_ptr decoded_format_;
    audio_decoder_ptr audio_decoder_;
    video_decoder_ptr video_decoder_;
    picture_convert_ptr picture_converter_;
    video_format_ptr picture_source_; // what the scaler takes
    audio_convert_ptr audio_converter_;
    int audio_stream_index_ = -1;
    int video_stream_index_ = -1;
    std::unique_ptr<av_video_file_video_source> video_source_;
    std::unique_ptr<av_video_file_audio_source> audio_source_;
    packet_queue video_packets_;
    packet_queue audio_packets_;
    double video_position_ = 0.0;
    double audio_position_ = 0.0;
    bool video_enabled_ = false;
    bool audio_enabled_ = false;
    double video_duration_ = 0.0;
    double audio_duration_ = 0.0;
    double frame_rate_ = 0.0;
    bool end_of_file_ = false;
    // The decoders' last pictures and sound were taken after the end.
    bool video_drained_ = false;
    bool audio_drained_ = false;
};

class av_video_file : public av_source {
public:
    explicit av_video_file(const char* path) : av_source(new av_video_file_impl(path)) {}
};

// The file at a UTF-8 path as a source.
av_source_ptr create_av_video_file(const char* path);

} // namespace kestrel
