#pragma once
// FFmpeg's one-time set-up: the runtime library's character handling follows
// the user's locale and FFmpeg's log is routed into the library's log.
// Every unit that uses FFmpeg holds a static ffmpeg_global_init_request, so
// the set-up is done before main runs.

#include <cstdarg>

namespace kestrel {

void ffmpeg_global_init();

// FFmpeg's messages up to its info level (39) go to the info log as
// "[ffmpeg][<object>][<level>] : <text>"; verbose and debug are dropped.
void ffmpeg_log_callback(void* object, int level, const char* format, va_list arguments);

struct ffmpeg_global_init_request {
    ffmpeg_global_init_request() { ffmpeg_global_init(); }
};

} // namespace kestrel
