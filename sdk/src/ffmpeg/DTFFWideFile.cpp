#include "DTFFWideFile.h"

#include "DTFFGlobal.h"
#include "files/DTRegularFile.h"

#include <boost/exception/get_error_info.hpp>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel {

namespace {

const ffmpeg_global_init_request ffmpeg_init;

const int io_buffer_size = 32768;
const char file_prefix[] = "file:";

wide_file_context* file_of(void* opaque) { return static_cast<wide_file_context*>(opaque); }

// A read given up is FFmpeg's "stopped from outside".
int error_code(int error) { return error == ECANCELED ? AVERROR_EXIT : AVERROR(error); }

bool is_give_up(int error) { return error == ETIMEDOUT || error == EBUSY || error == ECANCELED; }

// Remembers a wait given up: FFmpeg's demuxers meet it as the end.
int failed(wide_file_context* file, int error) {
    if (is_give_up(error))
        file->given_up = error;
    return error_code(error);
}

int read_packet(void* opaque, uint8_t* buffer, int size) {
    const int result = wide_file_read(file_of(opaque), buffer, size);
    if (result == 0)
        return AVERROR_EOF;
    return result < 0 ? failed(file_of(opaque), errno) : result;
}

// errno for a failure of the reader: ECANCELED when it was given up.
int error_of_failure() {
    try {
        throw;
    } catch (const read_interrupted&) {
        return ECANCELED;
    } catch (const boost::exception& failure) {
        const int* error = boost::get_error_info<errinfo_errno>(failure);
        return error ? *error : EIO;
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    } catch (...) {
        return EIO;
    }
}

// FFmpeg does not retry a short write through a custom I/O context, so a
// full disk would lose the tail of the file without a word: write it all.
int write_packet(void* opaque, uint8_t* buffer, int size) {
    int written = 0;
    while (written < size) {
        const int result = wide_file_write(file_of(opaque), buffer + written, size - written);
        if (result < 0) {
            if (errno == EINTR)
                continue;
            return error_code(errno);
        }
        if (result == 0)
            return AVERROR(EIO);
        written += result;
    }
    return written;
}

int64_t seek(void* opaque, int64_t offset, int whence) {
    const int64_t result = wide_file_seek(file_of(opaque), offset, whence & ~AVSEEK_FORCE);
    return result == -1 ? failed(file_of(opaque), errno) : result;
}

} // namespace

int wide_file_open(wide_file_context* context, const char* url, int flags) {
    const std::size_t prefix_length = sizeof file_prefix - 1;
    const char* path = std::strncmp(url, file_prefix, prefix_length) == 0 ? url + prefix_length : url;

    int fd;
    if (!(flags & AVIO_FLAG_WRITE)) {
        // Media comes from regular files only: a named pipe would block the
        // open until someone writes to it, a device may never end. Opened
        // as a photo is, on a reader thread where it may wait (for a share,
        // for another program's lease), watching the opener's stop.
        try {
            context->reader.emplace(path, watched_interruption::caller);
        } catch (...) {
            return -error_of_failure();
        }
        fd = -1;
    } else {
        const int open_flags = ((flags & AVIO_FLAG_READ) ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
        try {
            context->writer.emplace(path, open_flags);
        } catch (...) {
            return -error_of_failure();
        }
        fd = -1;
    }
    context->filename = url;
    context->fd = fd;
    return 0;
}

int wide_file_open2(wide_file_context* context, const char* url, int flags, AVDictionary**) {
    return wide_file_open(context, url, flags);
}

int wide_file_read(wide_file_context* context, unsigned char* buffer, int size) {
    try {
        if (context->writer)
            return static_cast<int>(context->writer->read(buffer, static_cast<std::size_t>(size)));
        if (!context->reader) {
            errno = EBADF;
            return -1;
        }
        return static_cast<int>(context->reader->read(buffer, static_cast<std::size_t>(size)));
    } catch (...) {
        errno = error_of_failure();
        return -1;
    }
}

int wide_file_write(wide_file_context* context, const unsigned char* buffer, int size) {
    if (!context->writer) {
        errno = EBADF;
        return -1;
    }
    try {
        return static_cast<int>(context->writer->write(buffer, static_cast<std::size_t>(size)));
    } catch (...) {
        errno = error_of_failure();
        return -1;
    }
}

int64_t wide_file_seek(wide_file_context* context, int64_t position, int whence) {
    if (context->reader) {
        if (whence == AVSEEK_SIZE) {
            errno = ESPIPE;
            return context->reader->size() >= 0 ? context->reader->size() : -1;
        }
        try {
            return context->reader->seek(position, whence);
        } catch (...) {
            errno = error_of_failure();
            return -1;
        }
    }
    if (!context->writer) {
        errno = EBADF;
        return -1;
    }
    try {
        return whence == AVSEEK_SIZE ? context->writer->size() : context->writer->seek(position, whence);
    } catch (...) {
        errno = error_of_failure();
        return -1;
    }
}

int wide_file_close(wide_file_context* context) {
    if (context->reader) {
        context->reader.reset(); // closes the descriptor, or leaves it to a read that holds it
        context->fd = -1;
        return 0;
    }
    if (!context->writer)
        return 0;
    int result = 0;
    try {
        context->writer->close();
    } catch (...) {
        errno = error_of_failure();
        result = -1;
    }
    context->writer.reset(); // a close given up is left to the call under way
    return result;
}

int wide_file_get_handle(wide_file_context* context) { return context->fd; }

int wide_file_check(wide_file_context* context, int mask) {
    struct stat status;
    if (::stat(context->filename.c_str(), &status) == -1)
        return -errno;
    int granted = 0;
    if (status.st_mode & S_IRUSR)
        granted |= mask & AVIO_FLAG_READ;
    if (status.st_mode & S_IWUSR)
        granted |= mask & AVIO_FLAG_WRITE;
    return granted;
}

int dt_avio_given_up(const AVIOContext* pb) {
    if (!pb || pb->read_packet != read_packet)
        return 0;
    const int error = file_of(pb->opaque)->given_up;
    return error ? error_code(error) : 0;
}

void dt_avio_forget_given_up(AVIOContext* pb) {
    if (pb && pb->read_packet == read_packet)
        file_of(pb->opaque)->given_up = 0;
}

int dt_avio_open(AVIOContext** pb, const std::string& url, int flags) {
    *pb = nullptr;
    std::unique_ptr<wide_file_context> file(new wide_file_context());
    if (const int error = wide_file_open(file.get(), url.c_str(), flags))
        return error; // a negated errno is FFmpeg's error code for it

    // FFmpeg may replace the buffer, so it is FFmpeg's and freed through
    // the context.
    auto* buffer = static_cast<unsigned char*>(av_malloc(io_buffer_size));
    AVIOContext* context =
        buffer ? avio_alloc_context(buffer, io_buffer_size, (flags & AVIO_FLAG_WRITE) ? 1 : 0,
                                    file.get(), read_packet, write_packet, seek)
               : nullptr;
    if (!context) {
        av_free(buffer);
        wide_file_close(file.get());
        return AVERROR(ENOMEM);
    }
    file.release();
    *pb = context;
    return 0;
}

int dt_avio_close(AVIOContext** pb) {
    if (!pb || !*pb)
        return 0;
    AVIOContext* context = *pb;
    if (context->write_flag)
        avio_flush(context);
    int result = context->error;
    wide_file_context* file = file_of(context->opaque);
    if (wide_file_close(file) == -1 && result == 0)
        result = AVERROR(errno);
    delete file;
    av_freep(&context->buffer);
    avio_context_free(pb);
    return result;
}

} // namespace kestrel
