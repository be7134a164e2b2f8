// The producer's encode loop, on its worker thread.

#include "slideshow2/DTSlideshowProduceSimple.h"

#include "base/DTLog.h"
#include "slideshow2/DTSlideshowProduceAudio.h"
#include "slideshow2/DTSlideshowProduceFailure.h"
#include "slideshow2/DTSlideshowProduceProgress.h"

#include <boost/chrono/duration.hpp>
#include <boost/make_shared.hpp>

namespace kestrel {
namespace slideshow2 {

namespace {
// A paused worker looks at its flags at least this often.
const boost::chrono::milliseconds pause_step(100);
} // namespace

void slideshow_produce_simple_impl::produce_impl_no_errors(
    const slideshow_produce::progress_callback& progress) {
    log_line(logger::info()) << "[slideshow_produce] start produce" << std::endl;
    progress_pacer pacer;
    av_source_->seek(0.0);
    video_source* video = av_source_->video();
    if (!video)
        KESTREL_THROW(errors::unexpected());
    produce_audio_feed sound(sound_from_source_ ? av_source_->audio() : nullptr, sound_format_);
    video_data_ptr preview;

    for (;;) {
        wait_while_paused();
        video_data_timed_ptr frame = video->read();
        // A stopped production's file is thrown away: the picture just read
        // and the pictures the encoder still holds back (libx264 keeps
        // dozens for its macroblock tree: about a second of work on a busy
        // machine) are dropped, not encoded.
        if (stop_asked())
            KESTREL_THROW(error_cancel());
        if (frame && !frame->data)
            KESTREL_THROW(errors::invalid_pointer());
        bool report = false;
        if (frame) {
            if (pacer.due(video->position())) {
                if (progress)
                    preview = frame->data->copy(); // as rendered, before conversion
                report = true;
            }
            frame = boost::make_shared<video_data_timed>(picture_convert_->convert(frame->data),
                                                         frame->duration, frame->start);
        }
        // An empty frame drains the encoder at the end of the show.
        const bool at_end = !frame;
        encode_picture(frame);
        frame.reset();

        const double position = video->position();
        encode_sound_until(sound, position);
        if (at_end)
            end_sound();
        if (report || at_end) {
            if (progress) {
                pacer.reported();
                progress(progress_pacer::percentage(position, video->duration()), preview);
            }
        }
        if (at_end)
            return;
    }
}

void slideshow_produce_simple_impl::wait_while_paused() {
    boost::unique_lock<boost::mutex> lock(mutex_);
    while (paused_ && !stop_)
        flags_changed_.wait_for(lock, pause_step);
}

bool slideshow_produce_simple_impl::stop_asked() const {
    boost::lock_guard<boost::mutex> lock(mutex_);
    return stop_;
}

void slideshow_produce_simple_impl::encode_picture(const video_data_timed_ptr& frame) {
    video_encoder_->send_timed(frame);
    while (media_packet_ptr packet = video_encoder_->get_packet())
        muxer_->write_packet(packet, 0);
}

void slideshow_produce_simple_impl::encode_sound_until(produce_audio_feed& sound, double until) {
    while (audio_data_timed_ptr block = sound.read_until(until)) {
        audio_encoder_->send_timed(block);
        while (media_packet_ptr packet = audio_encoder_->get_packet())
            muxer_->write_packet(packet, 1);
    }
}

void slideshow_produce_simple_impl::end_sound() {
    audio_encoder_->flush();
    while (media_packet_ptr packet = audio_encoder_->get_packet())
        muxer_->write_packet(packet, 1);
}

} // namespace slideshow2
} // namespace kestrel
