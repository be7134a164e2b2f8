#pragma once
// Any libavcodec option through the settings map: a key
// "ffmpeg/video/<option>[<type>]" sets <option> of the video encoder to the
// entry's value, read as text ("str", "string"), a whole number ("int",
// "integer") or a floating number ("float", "double"); other types are
// skipped. The codec's private options are found too.

#include "media/DTMediaSettings.h"

#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace kestrel {

// True when the whole key is an option key; name and type are then filled.
bool parse_ffmpeg_video_option_key(const std::string& key, std::string& name, std::string& type);

// Logs "set param" for the option and sets it by its type; false when
// libavcodec refuses it (an option the codec lacks, a value out of range),
// which leaves the context as it was. Types other than the six above are
// not applied and count as taken. A number that does not convert throws
// boost::bad_lexical_cast.
bool apply_ffmpeg_video_option(AVCodecContext* context, const std::string& name,
                               const std::string& type, const std::string& value);

// The warning line for a refused option, naming its settings key, so that a
// misspelt key in a preset does not vanish without a word.
void warn_refused_ffmpeg_option(const std::string& key, const std::string& value);

// Every option key of the map, in key order (the later of two keys for the
// same option wins); each refused one is warned about.
void apply_ffmpeg_video_options(AVCodecContext* context, media_settings_ptr settings);

// Lists a class's options and those of its children through FFmpeg's log;
// a diagnostic aid.
void dump_ffmpeg_codec_options(const AVClass* av_class, int flags);

} // namespace kestrel
