#include "DTFFCodec.h"

#include "DTFFAlloc.h"
#include "DTFFGlobal.h"
#include "base/DTErrors.h"
#include "media/DTDecoder.h"

namespace kestrel {

namespace {
const ffmpeg_global_init_request ffmpeg_init;
}

void dt_open_ff_decoder(AVCodecContext* context, dt_codec_id_t id) {
    const AVCodec* codec = avcodec_find_decoder(id);
    if (!codec)
        KESTREL_THROW(decoder::create_error() << errinfo_api_function("avcodec_find_decoder"));
    const int result = avcodec_open2(context, codec, nullptr);
    if (result < 0)
        KESTREL_THROW(decoder::create_error()
                      << errinfo_api_function("avcodec_open") << errinfo_errno(-result));
}

AVCodecContextPtr dt_wrap_codec_context(AVCodecContext* context) {
    // A shared_ptr that cannot allocate its count calls the deleter itself.
    return AVCodecContextPtr(context, details::_AVCodecContextDestroy());
}

AVCodecContextPtr dt_create_codec_context() {
    AVCodecContextPtr context = dt_wrap_codec_context(avcodec_alloc_context3(nullptr));
    if (!context)
        KESTREL_THROW(errors::bad_alloc() << errinfo_api_function("avcodec_alloc_context3"));
    return context;
}

bool dt_get_codec_names(dt_codec_id_t id, std::string& name, std::string& long_name) {
    void* iterator = nullptr;
    while (const AVCodec* codec = av_codec_iterate(&iterator)) {
        if (codec->id == id) {
            name = codec->name ? codec->name : "";
            long_name = codec->long_name ? codec->long_name : "";
            return true;
        }
    }
    return false;
}

AVCodecContextPtr dt_create_decoder_context(const decoder_info& info) {
    AVCodecContextPtr context = dt_create_codec_context();
    context->codec_id = static_cast<AVCodecID>(info.codec_id());
    context->codec_tag = info.codec_tag();
    context->codec_type = static_cast<AVMediaType>(info.media_type());
    // A context carries no codec name any more; the id says it all.

    av_freep(&context->extradata);
    context->extradata_size = 0;
    if (info.extradata_size() > 0 && info.extradata()) {
        ff_alloc_copy(&context->extradata, info.extradata(), info.extradata_size(),
                      ff_extradata_padding);
        context->extradata_size = info.extradata_size();
    }

    context->profile = info.profile();
    context->level = info.level();
    context->bit_rate = info.bit_rate();
    const dt_rational_t time_base = info.time_base();
    context->time_base = AVRational{time_base.num, time_base.den};
    context->pkt_timebase = context->time_base;
    return context;
}

void dt_open_decoder_context(AVCodecContext* context, std::string& name, std::string& long_name) {
    dt_open_ff_decoder(context, context->codec_id);
    name = context->codec->name ? context->codec->name : "";
    long_name = context->codec->long_name ? context->codec->long_name : "";
}

} // namespace kestrel
