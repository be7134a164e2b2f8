#pragma once
// Opening an FFmpeg decoder from a codec description: what the audio and the
// video decoder share. A context is owned by its holder from the moment it
// is allocated, so a failed set-up leaves nothing behind.

#include "DTFFHandles.h"
#include "media/DTDecoderInfo.h"

#include <boost/make_shared.hpp>

#include <memory>
#include <string>

namespace kestrel {

typedef AVCodecID dt_codec_id_t;

// Finds the decoder for id and opens the context with it; throws
// decoder::create_error naming "avcodec_find_decoder" or "avcodec_open".
void dt_open_ff_decoder(AVCodecContext* context, dt_codec_id_t id);

// A holder that owns the context; frees the context if the holder itself
// cannot be made.
AVCodecContextPtr dt_wrap_codec_context(AVCodecContext* context);
AVCodecContextPtr dt_create_codec_context();

// The names of the first registered encoder or decoder with this id; false,
// and the strings untouched, when there is none.
bool dt_get_codec_names(dt_codec_id_t id, std::string& name, std::string& long_name);

// A new, unopened context holding the description's codec identity, a copy
// of its extra data and its profile, level, bit rate and time base. The
// caller adds the media fields and opens it with dt_open_decoder_context.
AVCodecContextPtr dt_create_decoder_context(const decoder_info& info);

// Opens the context for its codec id and gives the opened codec's short and
// long names.
void dt_open_decoder_context(AVCodecContext* context, std::string& name, std::string& long_name);

// Opens the context and gives the opened codec's names as the decoder's
// additional information (Names: audio_ or video_decoder_additional_info).
template <class Names>
boost::shared_ptr<Names> dt_open_named_decoder(AVCodecContext* context) {
    std::string name, long_name;
    dt_open_decoder_context(context, name, long_name);
    std::unique_ptr<decoder_additional_info_names> names(
        new decoder_additional_info_names(name, long_name));
    const boost::shared_ptr<Names> info = boost::make_shared<Names>(names.get());
    names.release(); // the facade owns it now
    return info;
}

} // namespace kestrel
