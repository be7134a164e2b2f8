#include "DTFFEncoderCore.h"

#include "DTFFGlobal.h"
#include "encoders/DTAudioEncoderQueue.h"
#include "encoders/DTVideoEncoderQueue.h"

namespace kestrel {
namespace ffmpeg {

namespace {
const ffmpeg_global_init_request ffmpeg_init;
}

template <class Error>
ff_encoder_core<Error>::ff_encoder_core(const AVCodec* codec, int media_type)
    : codec_(codec), media_type_(media_type) {
    if (!codec)
        KESTREL_THROW(Error("could't find codec")
                      << errinfo_api_function("avcodec_find_encoder_by_name"));
    context_.reset(avcodec_alloc_context3(codec), details::_AVCodecContextDestroy());
    if (!context_)
        KESTREL_THROW(Error("could't allocate codec context")
                      << errinfo_api_function("avcodec_alloc_context3"));
    frame_.reset(av_frame_alloc(), details::_AVFrameDestroy());
    if (!frame_)
        KESTREL_THROW(errors::bad_alloc() << errinfo_api_function("av_frame_alloc"));
}

template <class Error>
void ff_encoder_core<Error>::open() {
    const int result = avcodec_open2(context_.get(), codec_, nullptr);
    if (result < 0)
        fail("open codec error", "avcodec_open2", result);
}

template <class Error>
void ff_encoder_core<Error>::send_frame(AVFrame* frame, const char* text,
                                        int64_t default_duration) {
    if (!frame && drained_)
        return; // drained already: nothing is left to hand out
    // libavcodec copies what it keeps of the frame before it returns.
    const int sent = avcodec_send_frame(context_.get(), frame);
    if (frame)
        av_frame_unref(frame);
    if (sent < 0)
        fail(text, "avcodec_send_frame", sent);
    drained_ = !frame;
    const int received = packets_.receive(context_.get(), media_type_, default_duration);
    if (received < 0)
        fail(text, "avcodec_receive_packet", received);
}

template <class Error>
const media_settings& ff_encoder_core<Error>::checked(const media_settings_ptr& settings) {
    if (!settings)
        fail("invalid settings");
    return *settings;
}

template <class Error>
void ff_encoder_core<Error>::fail(const char* text) {
    KESTREL_THROW(Error(text));
}

template <class Error>
void ff_encoder_core<Error>::fail(const char* text, const char* function, int result) {
    KESTREL_THROW(Error(text) << errinfo_api_function(function) << errinfo_errno(-result));
}

template class ff_encoder_core<audio_encoder_queue::error>;
template class ff_encoder_core<video_encoder_queue::error>;

} // namespace ffmpeg
} // namespace kestrel
