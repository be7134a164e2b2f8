#include "slideshow2/DTSlideshowProduceSimple.h"

#include "base/DTLog.h"
#include "slideshow2/DTSlideshow.h"
#include "slideshow2/DTSlideshowPresets.h"
#include "slideshow2/DTSlideshowProduceFailure.h"

#include <boost/bind/bind.hpp>
#include <boost/make_shared.hpp>

#include <vector>

namespace kestrel {
namespace slideshow2 {

namespace {

const char* const video_encoder_family = "kestrel/ffmpeg";
const char* const audio_encoder_family = "kestrel/ffmpeg";
// The converter's destination and scaling: planar YUV 4:2:0, bilinear.
const dt_pixel_format_t encoder_pixel_format = dt_pixel_format_yuv420p;
const int convert_flags = 2;
// The show's picture format; a missing source, video source or format is
// logged as "[slideshow_produce][<step>] null ..." and thrown as
// errors::unexpected.
video_format_ptr show_picture_format(const av_source_ptr& source, const char* step,
                                     video_source*& video) {
    const char* missing = nullptr;
    video = source ? source->video() : nullptr;
    video_format_ptr format = video ? video->format() : video_format_ptr();
    if (!source)
        missing = "av_source";
    else if (!video)
        missing = "video";
    else if (!format)
        missing = "video_format";
    if (missing) {
        log_line(logger::error()) << "[slideshow_produce][" << step << "] null " << missing
                                  << std::endl;
        KESTREL_THROW(errors::unexpected());
    }
    return format;
}

void tune_slideshow(const av_source_ptr& source, const media_settings_ptr& settings) {
    if (!settings) {
        log_line(logger::warning()) << "[slideshow_produce][tune_slideshow] null media_settings"
                                    << std::endl;
        return;
    }
    if (!source) {
        log_line(logger::warning()) << "[slideshow_produce][tune_slideshow] null av_source"
                                    << std::endl;
        return;
    }
    log_line(logger::info()) << "[slideshow_produce][tune_slideshow] " << *settings << std::endl;
    source->apply_settings(settings);
}

video_encoder_queue_ptr create_video_encoder(const av_source_ptr& source,
                                             const media_settings_ptr& settings) {
    log_line(logger::info()) << "[slideshow_produce][create_video_encoder]" << std::endl;
    video_source* video = nullptr;
    const video_format_ptr format = show_picture_format(source, "create_video_encoder", video);
    const media_settings_ptr encoder_settings = media_settings::clone(settings);
    encoder_settings->set("width", format->width());
    encoder_settings->set("height", format->height());
    encoder_settings->set("video-frame-rate", video->frame_rate());
    return video_encoder_queue_creator::create(video_encoder_family, encoder_settings);
}

picture_convert_ptr create_picture_convert(const av_source_ptr& source) {
    log_line(logger::info()) << "[slideshow_produce][create_picture_convert]" << std::endl;
    video_source* video = nullptr;
    const video_format_ptr format = show_picture_format(source, "create_picture_convert", video);
    return picture_convert_creator::create(format->width(), format->height(),
                                           format->pixel_format(), format->width(),
                                           format->height(), encoder_pixel_format, convert_flags);
}

// The show's sound format; a show without sound gets silence in the
// tracks' default format, and says so.
audio_format_ptr sound_format_of(const av_source_ptr& source, bool& from_source) {
    from_source = false;
    audio_source* audio = source->audio();
    if (!audio) {
        log_line(logger::warning())
            << "[slideshow_produce][create_audio_encoder] null audio, writing silence"
            << std::endl;
        return audio_track_format(nullptr);
    }
    const audio_format_ptr format = audio->format();
    if (!format) {
        log_line(logger::warning())
            << "[slideshow_produce][create_audio_encoder] null audio_format, writing silence"
            << std::endl;
        return audio_track_format(nullptr);
    }
    from_source = true;
    return format;
}

audio_encoder_queue_ptr create_audio_encoder(const audio_format& format,
                                             const media_settings_ptr& settings) {
    const media_settings_ptr encoder_settings = media_settings::clone(settings);
    return audio_encoder_queue_creator::create(audio_encoder_family, &format, encoder_settings);
}

media_muxer_ptr create_media_muxer(const std::string& output_path,
                                   const video_encoder_queue_ptr& video_encoder,
                                   const audio_encoder_queue_ptr& audio_encoder,
                                   const media_settings_ptr& settings) {
    log_line(logger::info()) << "[slideshow_produce][create_media_muxer]" << std::endl;
    std::vector<void*> codecs;
    codecs.push_back(video_encoder->codec_context()); // stream 0
    codecs.push_back(audio_encoder->codec_context()); // stream 1
    return media_muxer_creator::create(settings->get("media-format"), output_path, codecs);
}

} // namespace

slideshow_produce_simple_impl::slideshow_produce_simple_impl(const av_source_ptr& source,
                                                             const slideshow_ptr& slideshow,
                                                             const buffering_switch& set_buffered,
                                                             const std::string& output_path,
                                                             media_settings_ptr settings)
    : av_source_(source), slideshow_(slideshow), set_buffered_(set_buffered),
      output_path_(output_path) {
    try {
        build(settings);
    } catch (...) {
        construction_failure_ = std::current_exception();
        error_ = result_of_failure(construction_failure_);
    }
}

void slideshow_produce_simple_impl::build(media_settings_ptr settings) {
    if (!av_source_ || !av_source_->video()) {
        log_line(logger::error()) << "[slideshow_produce] invalid av_source" << std::endl;
        KESTREL_THROW(errors::error());
    }
    const media_settings_ptr producer_settings = media_settings::clone(settings);
    const std::string preset = producer_settings->get("produce-preset", "default");
    apply_preset(preset, producer_settings);
    tune_slideshow(av_source_, producer_settings);

    video_encoder_ = create_video_encoder(av_source_, producer_settings);
    picture_convert_ = create_picture_convert(av_source_);
    log_line(logger::info()) << "[slideshow_produce][create_audio_encoder]" << std::endl;
    sound_format_ = sound_format_of(av_source_, sound_from_source_);
    audio_encoder_ = create_audio_encoder(*sound_format_, producer_settings);
    if (!video_encoder_ || !picture_convert_ || !audio_encoder_) {
        log_line(logger::error()) << "[slideshow_produce] unexpected" << std::endl;
        KESTREL_THROW(errors::error());
    }
    muxer_ = create_media_muxer(output_path_, video_encoder_, audio_encoder_, producer_settings);
    if (!muxer_) {
        log_line(logger::error()) << "[slideshow_produce] unexpected" << std::endl;
        KESTREL_THROW(errors::error());
    }

    // The muxer copies the opened encoders' parameters into its streams and
    // then writes the header, so it opens last, on the worker (see run()).
    log_line(logger::info()) << "[slideshow_produce] open video encoder..." << std::endl;
    video_encoder_->open();
    log_line(logger::info()) << "[slideshow_produce] open audio encoder..." << std::endl;
    audio_encoder_->open();
    log_line(logger::info()) << "[slideshow_produce] done." << std::endl;
}

slideshow_produce_simple_impl::~slideshow_produce_simple_impl() {
    if (thread_.joinable()) {
        if (thread_.get_id() == boost::this_thread::get_id()) {
            // Released from its own callback: the worker touches nothing of
            // this object once the callback returns.
            thread_.detach();
        } else {
            {
                boost::lock_guard<boost::mutex> lock(mutex_);
                stop_ = true;
            }
            flags_changed_.notify_all();
            join_giving_up_reads(stop_deadline());
        }
    }
    close_unfinished_file(true);
}

void slideshow_produce_simple_impl::close_unfinished_file(bool at_once) {
    if (at_once)
        writes_->set(true);
    if (!muxer_)
        return;
    try {
        muxer_->close();
    } catch (...) {
        log_line(logger::info()) << "[slideshow_produce] the unfinished file was closed as it stood" << std::endl;
    }
}

void slideshow_produce_simple_impl::start(const slideshow_produce::progress_callback& progress,
                                          const slideshow_produce::finished_callback& finished) {
    {
        boost::lock_guard<boost::mutex> lock(mutex_);
        if (started_)
            KESTREL_THROW(errors::invalid_operation("produce already started"));
        started_ = true;
    }
    try {
        thread_ = boost::thread(
            boost::bind(&slideshow_produce_simple_impl::run, this, progress, finished));
    } catch (...) {
        boost::lock_guard<boost::mutex> lock(mutex_);
        started_ = false;
        throw;
    }
}

void slideshow_produce_simple_impl::pause() {
    boost::lock_guard<boost::mutex> lock(mutex_);
    paused_ = true;
}

void slideshow_produce_simple_impl::resume() {
    {
        boost::lock_guard<boost::mutex> lock(mutex_);
        paused_ = false;
    }
    flags_changed_.notify_all();
}

void slideshow_produce_simple_impl::stop() {
    const stop_deadline deadline;
    {
        boost::lock_guard<boost::mutex> lock(mutex_);
        stop_ = true;
    }
    flags_changed_.notify_all();
    if (thread_.joinable() && thread_.get_id() != boost::this_thread::get_id())
        join_giving_up_reads(deadline);
}

void slideshow_produce_simple_impl::join_giving_up_reads(const stop_deadline& deadline) {
    // The worker may be waiting for a photo or the music whose file does
    // not answer (a share that hangs): that read is given up, so a stop
    // never waits for it.
    reads_->set(true);
    if (slideshow_)
        slideshow_->interrupt_reads(true);
    // The file's writes may complete it as it stands until the stop's
    // deadline: a disk that has not answered by then has them given up,
    // one that answers at once never.
    writes_->give_up_at(deadline.at());
    thread_.join();
    if (slideshow_)
        slideshow_->interrupt_reads(false);
}

std::vector<unreadable_photo> slideshow_produce_simple_impl::unreadable_photos() const {
    boost::lock_guard<boost::mutex> lock(mutex_);
    return unreadable_photos_;
}

std::vector<unreadable_photo> slideshow_produce_simple_impl::take_unreadable_photos() {
    return slideshow_ ? slideshow_->take_unreadable_photos() : std::vector<unreadable_photo>();
}

void slideshow_produce_simple_impl::switch_buffering(bool on) {
    if (set_buffered_)
        set_buffered_(on);
}

void slideshow_produce_simple_impl::run(slideshow_produce::progress_callback progress,
                                        slideshow_produce::finished_callback finished) {
    const read_interruption_scope reading(reads_);
    slideshow_produce::Result result = slideshow_produce::done;
    std::vector<unreadable_photo> refused; // at the start, before any frame
    try {
        // What a preview met or drew before is not this production's.
        take_unreadable_photos();
        if (slideshow_)
            slideshow_->take_photo_drawn();
        switch_buffering(true);
        if (error_ != slideshow_produce::done)
            std::rethrow_exception(construction_failure_);
        // A show of photos none of which opens would be black from end to
        // end: no use encoding it.
        if (slideshow_ && !slideshow_->some_photo_opens(refused))
            KESTREL_THROW(error_no_photo_readable());
        // The file is opened here, within the stop's reach: its opening,
        // every write and its close give up once a stop comes (a share
        // that hangs never holds the owner's thread, nor its stop).
        log_line(logger::info()) << "[slideshow_produce] open media muxer..." << std::endl;
        {
            const read_interruption_scope writing(writes_);
            muxer_->open();
        }
        produce_impl_no_errors(progress);
        // Each photo may have become unreadable on the way.
        if (slideshow_ && !slideshow_->take_photo_drawn())
            KESTREL_THROW(error_no_photo_readable());
        // The trailer completes the file; a file that cannot be completed
        // (a full disk) is no success.
        muxer_->close();
    } catch (...) {
        const std::exception_ptr failure = std::current_exception();
        // A read given up by a stop fails where it was: the stop's doing.
        result = reads_->on() ? slideshow_produce::cancelled : result_of_failure(failure);
        // Found before the first picture, while a stop was asked: stopped.
        if (result == slideshow_produce::no_photo_readable) {
            boost::lock_guard<boost::mutex> lock(mutex_);
            if (stop_)
                result = slideshow_produce::cancelled;
        }
        // A stop is no error. The file ends where the encoders had got to,
        // as far as its disk answers before the stop gives its writes up.
        if (result == slideshow_produce::cancelled) {
            log_line(logger::info()) << "[slideshow_produce] stopped" << std::endl;
            close_unfinished_file(false);
        } else {
            log_failure(failure);
        }
    }
    try {
        switch_buffering(false);
        unreadable_photo_record met;
        for (const unreadable_photo& photo : refused)
            met.add(photo);
        for (const unreadable_photo& photo : take_unreadable_photos())
            met.add(photo);
        std::vector<unreadable_photo> taken = met.take();
        boost::lock_guard<boost::mutex> lock(mutex_);
        unreadable_photos_.swap(taken);
    } catch (...) {
        log_failure(std::current_exception());
    }
    if (finished) {
        try {
            finished(result);
        } catch (...) {
            log_failure(std::current_exception());
        }
    }
}

slideshow_produce_simple::slideshow_produce_simple(const av_source_ptr& source,
                                                   const slideshow_ptr& slideshow,
                                                   const buffering_switch& set_buffered,
                                                   const std::string& output_path,
                                                   media_settings_ptr settings)
    : slideshow_produce(
          new slideshow_produce_simple_impl(source, slideshow, set_buffered, output_path, settings)) {}

} // namespace slideshow2
} // namespace kestrel
