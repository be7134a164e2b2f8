#include "slideshow2/DTSlideshowProduceFailure.h"

#include "base/DTLog.h"
#include "encoders/DTAudioEncoderQueue.h"
#include "encoders/DTMediaMuxer.h"
#include "encoders/DTVideoEncoderQueue.h"
#include "slideshow2/DTSlideshowPresets.h"

#include <boost/exception/diagnostic_information.hpp>

namespace kestrel {
namespace slideshow2 {

slideshow_produce::Result result_of_failure(const std::exception_ptr& failure) {
    if (!failure)
        return slideshow_produce::unexpected_error;
    try {
        std::rethrow_exception(failure);
    } catch (const audio_encoder_queue::error&) {
        return slideshow_produce::audio_encoder_failed;
    } catch (const video_encoder_queue::error&) {
        return slideshow_produce::video_encoder_failed;
    } catch (const media_muxer::error_create_file&) { // before its base
        return slideshow_produce::create_file_failed;
    } catch (const media_muxer::error&) {
        return slideshow_produce::muxer_failed;
    } catch (const error_invalid_preset&) {
        return slideshow_produce::invalid_preset;
    } catch (const error_cancel&) {
        return slideshow_produce::cancelled;
    } catch (const error_no_photo_readable&) {
        return slideshow_produce::no_photo_readable;
    } catch (...) {
        return slideshow_produce::unexpected_error;
    }
}

void log_failure(const std::exception_ptr& failure) {
    try {
        if (failure)
            std::rethrow_exception(failure);
        log_line(logger::error()) << "unexpected error" << std::endl;
    } catch (const errors::dt_error& e) {
        log_line(logger::error()) << "error: " << e.what() << "\n"
                                  << boost::diagnostic_information(e) << std::endl;
    } catch (const boost::exception& e) {
        log_line(logger::error()) << "error: " << boost::diagnostic_information(e) << std::endl;
    } catch (const std::exception& e) {
        log_line(logger::error()) << "error: " << e.what() << std::endl;
    } catch (...) {
        log_line(logger::error()) << "unexpected error" << std::endl;
    }
}

} // namespace slideshow2
} // namespace kestrel
