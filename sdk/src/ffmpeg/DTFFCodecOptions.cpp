#include "DTFFCodecOptions.h"

#include "DTFFGlobal.h"
#include "base/DTLog.h"
#include "base/DTNumberText.h"

extern "C" {
#include <libavutil/opt.h>
}

#include <boost/regex.hpp>

#include <iostream>

namespace kestrel {

namespace {
const ffmpeg_global_init_request ffmpeg_init;
} // namespace

bool parse_ffmpeg_video_option_key(const std::string& key, std::string& name, std::string& type) {
    const boost::regex pattern("ffmpeg\\/video\\/([a-zA-Z0-9_:-]+)\\[([_a-zA-Z0-9_:-]*)\\]");
    boost::smatch match;
    if (!boost::regex_match(key, match, pattern))
        return false;
    name = match[1];
    type = match[2];
    return true;
}

bool apply_ffmpeg_video_option(AVCodecContext* context, const std::string& name,
                               const std::string& type, const std::string& value) {
    log_line(logger::info()) << "[ffmpeg video encoder] : set param \"" << name << "\" : \""
                             << value << "\"" << std::endl;
    int result = 0;
    if (type == "string" || type == "str")
        result = av_opt_set(context, name.c_str(), value.c_str(), AV_OPT_SEARCH_CHILDREN);
    else if (type == "integer" || type == "int")
        result = av_opt_set_int(context, name.c_str(), text::from_text<long long>(value),
                                AV_OPT_SEARCH_CHILDREN);
    else if (type == "float" || type == "double")
        result = av_opt_set_double(context, name.c_str(), text::from_text<double>(value),
                                   AV_OPT_SEARCH_CHILDREN);
    return result >= 0;
}

void warn_refused_ffmpeg_option(const std::string& key, const std::string& value) {
    log_line(logger::warning()) << "[ffmpeg video encoder] : option \"" << key
                                << "\" refused \"" << value << "\"" << std::endl;
}

void apply_ffmpeg_video_options(AVCodecContext* context, media_settings_ptr settings) {
    for (const auto& entry : *settings) {
        std::string name;
        std::string type;
        if (parse_ffmpeg_video_option_key(entry.first, name, type) &&
            !apply_ffmpeg_video_option(context, name, type, entry.second))
            warn_refused_ffmpeg_option(entry.first, entry.second);
    }
}

void dump_ffmpeg_codec_options(const AVClass* av_class, int flags) {
    // The shape FFmpeg's option functions expect: the class pointer first.
    struct option_object {
        const AVClass* av_class;
    } object = {av_class};
    av_opt_show2(&object, nullptr, flags, 0);
    std::cout << std::endl;
    void* iterator = nullptr;
    while (const AVClass* child = av_opt_child_class_iterate(av_class, &iterator))
        dump_ffmpeg_codec_options(child, flags);
}

} // namespace kestrel
