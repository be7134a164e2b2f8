#pragma once
// Stream and file descriptions of an opened FFmpeg input. A stream
// description is a copy and outlives its file; a file description reads the
// open format context, which it keeps alive, so it may outlive the splitter
// that made it.

#include "DTFFHandles.h"
#include "media/DTFileInfo.h"
#include "media/DTStreamInfo.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <string>

namespace kestrel {

inline dt_rational_t dt_rational(AVRational r) { return dt_rational_t(r.num, r.den); }

class ff_stream_info_impl : public stream_info::Impl {
public:
    // errors::invalid_pointer for a null stream or a stream without codec
    // parameters.
    ff_stream_info_impl(const AVFormatContext* context, const AVStream* stream);

    int index() const override { return index_; }
    int id() const override { return id_; }
    dt_rational_t frame_rate() const override { return r_frame_rate_; }
    dt_ts_t first_dts() const override { return first_dts_; }
    dt_rational_t time_base() const override { return time_base_; }
    dt_ts_t start_time() const override { return start_time_; }
    dt_ts_t duration() const override { return duration_; }
    std::string text() const override { return language_; }
    dt_ts_t frame_count() const override { return nb_frames_; }
    dt_rational_t sample_aspect_ratio() const override { return sample_aspect_ratio_; }
    boost::shared_ptr<void> extra_info() const override { return metadata_; }
    dt_rational_t average_frame_rate() const override { return avg_frame_rate_; }
    decoder_info_ptr get_decoder_info() const override { return decoder_info_; }

private:
    int index_ = 0;
    int id_ = 0;
    dt_rational_t r_frame_rate_;
    dt_ts_t first_dts_ = AV_NOPTS_VALUE;
    dt_rational_t time_base_;
    dt_ts_t start_time_ = AV_NOPTS_VALUE;
    dt_ts_t duration_ = AV_NOPTS_VALUE;
    std::string language_;
    dt_ts_t nb_frames_ = 0;
    dt_rational_t sample_aspect_ratio_;
    boost::shared_ptr<void> metadata_;
    dt_rational_t avg_frame_rate_;
    decoder_info_ptr decoder_info_;
};

class ff_stream_info : public stream_info {
public:
    ff_stream_info(const AVFormatContext* context, const AVStream* stream)
        : stream_info(new ff_stream_info_impl(context, stream)) {}
};

// A stream's length in its own time base derived from the file's length in
// microseconds, to the nearest unit; AV_NOPTS_VALUE when either is unknown.
dt_ts_t dt_stream_duration_from_file(int64_t file_duration, AVRational time_base);

class ff_file_info_general_impl : public file_info_general::Impl {
public:
    explicit ff_file_info_general_impl(const AVFormatContextPtr& context) : context_(context) {}

    std::string filename() const override;
    unsigned int nb_streams() const override { return context_->nb_streams; }
    unsigned int nb_chapters() const override { return context_->nb_chapters; }
    unsigned int nb_programs() const override { return context_->nb_programs; }
    std::string format_name() const override;
    std::string format_long_name() const override;
    int64_t start_time() const override { return context_->start_time; }
    int64_t duration() const override { return context_->duration; }
    int64_t file_size() const override { return 0; }
    int bit_rate() const override { return static_cast<int>(context_->bit_rate); }
    file_info_general::metadata_map metadata() const override { return {}; }
    dt_rational_t time_base() const override { return dt_rational_t(1, AV_TIME_BASE); }

private:
    AVFormatContextPtr context_; // shared with the splitter
};

class ff_file_info_general : public file_info_general {
public:
    explicit ff_file_info_general(const AVFormatContextPtr& context)
        : file_info_general(new ff_file_info_general_impl(context)) {}

    void reset(const AVFormatContextPtr& context) {
        set_impl(new ff_file_info_general_impl(context));
    }
};

} // namespace kestrel
