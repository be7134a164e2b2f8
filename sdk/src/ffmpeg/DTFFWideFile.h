#pragma once
// FFmpeg reads and writes our files through these calls, so a path of any
// bytes, UTF-8 or not, reaches the file system unchanged. dt_avio_open builds the
// I/O context that the muxer and the splitter hand to libavformat.
//
// A file opened for reading only is read as an abandonable_file
// (files/DTAbandonableRead.h) that watches the interruption of the thread that
// reads or seeks: a media file opened by a loader and read by a producer
// whose stop gives its read up. A file opened for writing is an
// abandonable_output (files/DTAbandonableWrite.h) watching the opener's: a
// video on a share that hangs is given up by its producer's stop. FFmpeg
// then meets AVERROR_EXIT.

#include "files/DTAbandonableRead.h"
#include "files/DTAbandonableWrite.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

extern "C" {
#include <libavformat/avio.h>
}

namespace kestrel {

// The state of one open file: the URL it was opened with; a file opened
// for reading only is `reader`'s, one opened for writing `writer`'s (each
// keeps its descriptor: `fd` stays -1).
struct wide_file_context {
    std::string filename;
    int fd = -1;
    std::optional<abandonable_file> reader;
    std::optional<abandonable_output> writer;
    // The errno of the last read or move given up (ETIMEDOUT, EBUSY,
    // ECANCELED) since the I/O context last moved; 0 for none. FFmpeg
    // keeps such a failure to itself as the end of the file, until a seek.
    int given_up = 0;
};

// "file:" (exact case) is stripped from the URL; writing always creates or
// truncates; reading takes regular files only (a folder is EISDIR, a pipe
// or a device EINVAL, refused without waiting). Returns 0, or the negated
// errno.
int wide_file_open(wide_file_context* context, const char* url, int flags);
int wide_file_open2(wide_file_context* context, const char* url, int flags,
                    AVDictionary** options);
// Bytes moved, 0 at the end of the file, -1 on error with errno set:
// ECANCELED for a read given up.
int wide_file_read(wide_file_context* context, unsigned char* buffer, int size);
int wide_file_write(wide_file_context* context, const unsigned char* buffer, int size);
// AVSEEK_SIZE answers the file size without moving (for reading: the size
// at the opening). -1 with errno on error, as wide_file_read.
int64_t wide_file_seek(wide_file_context* context, int64_t position, int whence);
int wide_file_close(wide_file_context* context);
// -1: the reader and the writer keep their descriptors.
int wide_file_get_handle(wide_file_context* context);
// The part of AVIO_FLAG_READ | AVIO_FLAG_WRITE that the file's mode grants.
int wide_file_check(wide_file_context* context, int mask);

// The FFmpeg error code for a wait of the context's file given up since
// its last successful seek (files that do not answer): AVERROR_EXIT when
// it was stopped, else AVERROR(errno); 0 for none, or for a context not
// made by dt_avio_open. Forgotten by dt_avio_forget_given_up.
int dt_avio_given_up(const AVIOContext* pb);
void dt_avio_forget_given_up(AVIOContext* pb);

// An I/O context over a file opened with wide_file_open; 0 or a negative
// FFmpeg error code.
int dt_avio_open(AVIOContext** pb, const std::string& url, int flags);
// Flushes, closes and frees it; null is allowed. Returns 0, or a negative
// FFmpeg error code when buffered bytes could not be written or the file
// could not be closed.
int dt_avio_close(AVIOContext** pb);

} // namespace kestrel
