#pragma once
// Read-only description of one stream of a media file.

#include "base/DTBase.h"
#include "base/DTTypes.h"
#include "media/DTDecoderInfo.h"

#include <boost/shared_ptr.hpp>

#include <string>

namespace kestrel {

class stream_info : public facade<stream_info> {
public:
    class Impl : public impl_base {
    public:
        ~Impl() override;
        virtual int index() const = 0;
        virtual int id() const = 0;
        virtual dt_rational_t frame_rate() const = 0;
        virtual dt_ts_t first_dts() const = 0;
        virtual dt_rational_t time_base() const = 0;
        virtual dt_ts_t start_time() const = 0;
        virtual dt_ts_t duration() const = 0;
        virtual std::string text() const = 0;
        virtual dt_ts_t frame_count() const = 0;
        virtual dt_rational_t sample_aspect_ratio() const = 0;
        virtual boost::shared_ptr<void> extra_info() const = 0;
        virtual dt_rational_t average_frame_rate() const = 0;
        virtual decoder_info_ptr get_decoder_info() const = 0;
    };

    explicit stream_info(Impl* impl) : facade(impl) {}

    int index() const { return impl()->index(); }
    int id() const { return impl()->id(); }
    dt_rational_t frame_rate() const { return impl()->frame_rate(); }
    dt_ts_t first_dts() const { return impl()->first_dts(); }
    dt_rational_t time_base() const { return impl()->time_base(); }
    dt_ts_t start_time() const { return impl()->start_time(); }
    dt_ts_t duration() const { return impl()->duration(); }
    std::string text() const { return impl()->text(); }
    dt_ts_t frame_count() const { return impl()->frame_count(); }
    dt_rational_t sample_aspect_ratio() const { return impl()->sample_aspect_ratio(); }
    boost::shared_ptr<void> extra_info() const { return impl()->extra_info(); }
    dt_rational_t average_frame_rate() const { return impl()->average_frame_rate(); }
    decoder_info_ptr get_decoder_info() const { return impl()->get_decoder_info(); }
};
typedef boost::shared_ptr<stream_info> stream_info_ptr;

} // namespace kestrel
