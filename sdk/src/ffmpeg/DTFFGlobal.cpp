#include "DTFFGlobal.h"

#include "base/DTLog.h"

extern "C" {
#include <libavutil/log.h>
}

#include <clocale>
#include <cstdio>
#include <mutex>

namespace kestrel {

namespace {

const int highest_routed_level = 39;
const std::size_t message_buffer_size = 8192;

const ffmpeg_global_init_request ffmpeg_init;

} // namespace

void ffmpeg_global_init() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Character classification follows the user; numbers never do, so
        // option values and stored settings read the same everywhere.
        std::setlocale(LC_CTYPE, "");
        av_log_set_callback(ffmpeg_log_callback);
    });
}

void ffmpeg_log_callback(void* object, int level, const char* format, va_list arguments) {
    if (level > highest_routed_level)
        return;
    const char* name = nullptr;
    if (object) {
        const AVClass* av_class = *static_cast<const AVClass* const*>(object);
        if (av_class && av_class->item_name)
            name = av_class->item_name(object);
    }
    char message[message_buffer_size];
    std::vsnprintf(message, sizeof message, format, arguments);

    // FFmpeg's text carries its own line break; the flush ends the line.
    log_line(logger::info()) << "[ffmpeg][" << (name ? name : "") << "][" << level << "] : "
                             << message << std::flush;
}

} // namespace kestrel
