#pragma once
// The producer's one implementation. Its constructor builds the whole
// pipeline on the owner's thread: the preset applied to a copy of the
// caller's settings, the show tuned to it, then the video encoder, the
// picture converter (the show's RGB to the encoder's YUV 4:2:0), the audio
// encoder and the muxer, made in that order, the encoders opened. A
// failure there is kept as a result code, never thrown; the worker reports
// it. The owner's thread never touches the file: the worker opens the
// muxer (the file and its header) within its stop's reach, and every write
// and the close of the file are given up by a stop (files/DTAbandonableWrite.h),
// so that a stop and the release never wait for a disk or a share.
// The worker reads the show picture by picture, converts, encodes and
// writes each to stream 0, then the sound up to the same show time to
// stream 1, and completes the file before it reports `done`; a stop drops
// what is not yet encoded.

#include "encoders/DTAudioEncoderQueue.h"
#include "encoders/DTMediaMuxer.h"
#include "encoders/DTVideoEncoderQueue.h"
#include "files/DTAbandonableRead.h"
#include "files/DTStopDeadline.h"
#include "media/DTAudioFormat.h"
#include "media/DTPictureConvert.h"
#include "slideshow2/DTSlideshowProduce.h"

#include <boost/thread/condition_variable.hpp>
#include <boost/thread/mutex.hpp>
#include <boost/thread/thread.hpp>

#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace kestrel {
namespace slideshow2 {

class produce_audio_feed;

class slideshow_produce_simple_impl : public slideshow_produce::Impl {
public:
    slideshow_produce_simple_impl(const av_source_ptr& source, const slideshow_ptr& slideshow,
                                  const buffering_switch& set_buffered,
                                  const std::string& output_path, media_settings_ptr settings);
    // Stops and joins a running worker; then the pipeline is released, and
    // the file the worker did not complete is closed as it stands (no
    // write waits then), for its owner to throw away.
    ~slideshow_produce_simple_impl() override;

    void start(const slideshow_produce::progress_callback& progress,
               const slideshow_produce::finished_callback& finished) override;
    void pause() override;
    void resume() override;
    void stop() override;
    std::vector<unreadable_photo> unreadable_photos() const override;

    // What construction left: `done` when the pipeline stands.
    slideshow_produce::Result construction_result() const { return error_; }

private:
    void build(media_settings_ptr settings);
    void run(slideshow_produce::progress_callback progress,
             slideshow_produce::finished_callback finished);
    void switch_buffering(bool on);
    // Closes the file as the worker left it, only a failure logged; with
    // `at_once` no write waits for its disk then.
    void close_unfinished_file(bool at_once);
    // Joins the worker with the slideshow's photo reads and the worker's
    // own reads (the music) given up meanwhile, and its writes too once
    // they have not answered by the stop's deadline.
    void join_giving_up_reads(const stop_deadline& deadline);
    // The encode loop; returns when the whole show is written, throws
    // error_cancel on a stop request and lets every other failure through.
    void produce_impl_no_errors(const slideshow_produce::progress_callback& progress);
    // Waits while paused, until resumed or stopped.
    void wait_while_paused();
    // Whether a stop was asked for; it stays asked.
    bool stop_asked() const;
    void encode_picture(const video_data_timed_ptr& frame);
    void encode_sound_until(produce_audio_feed& sound, double until);
    void end_sound();
    // The slideshow's unreadable photos met since the last call.
    std::vector<unreadable_photo> take_unreadable_photos();

    av_source_ptr av_source_;
    slideshow_ptr slideshow_;
    buffering_switch set_buffered_;
    std::string output_path_;
    audio_encoder_queue_ptr audio_encoder_;
    video_encoder_queue_ptr video_encoder_;
    media_muxer_ptr muxer_;
    picture_convert_ptr picture_convert_;
    // The audio encoder's input: the show's sound format, or the format of
    // the silence written for a show without an audio source.
    audio_format_ptr sound_format_;
    bool sound_from_source_ = false;

    bool stop_ = false;
    bool paused_ = false;
    bool started_ = false;
    std::vector<unreadable_photo> unreadable_photos_; // set by the worker before finished
    mutable boost::mutex mutex_; // stop_, paused_, started_, unreadable_photos_
    boost::condition_variable flags_changed_;
    // Watched by the worker's reads; a stop switches it on.
    const read_interruption_ptr reads_ = std::make_shared<read_interruption>();
    // Watched by the file's opening, writes and close; a stop gives it its
    // deadline, the release switches it on.
    const read_interruption_ptr writes_ = std::make_shared<read_interruption>();
    boost::thread thread_;
    slideshow_produce::Result error_ = slideshow_produce::done;
    std::exception_ptr construction_failure_;
};

class slideshow_produce_simple : public slideshow_produce {
public:
    slideshow_produce_simple(const av_source_ptr& source, const slideshow_ptr& slideshow,
                             const buffering_switch& set_buffered, const std::string& output_path,
                             media_settings_ptr settings);
};

} // namespace slideshow2
} // namespace kestrel
