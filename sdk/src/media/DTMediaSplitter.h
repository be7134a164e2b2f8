#pragma once
// The demultiplexer: opens a media file, describes it and its streams and
// hands out its compressed packets in file order. The end of the file is an
// empty packet pointer, not an error; a failed read (a damaged disk) is
// media_splitter::error, never an early end.

#include "base/DTBase.h"
#include "base/DTErrors.h"
#include "base/DTTypes.h"
#include "media/DTFileInfo.h"
#include "media/DTMediaPacket.h"
#include "media/DTStreamInfo.h"

#include <boost/shared_ptr.hpp>

namespace kestrel {

class media_splitter : public facade<media_splitter> {
public:
    // The failing FFmpeg call and its negated result are attached.
    class error : public virtual errors::dt_error {};

    class Impl : public impl_base {
    public:
        ~Impl() override;
        virtual media_packet_ptr read_packet() = 0;
        // position in file time base units (microseconds); reading goes on
        // from the packet at or before it.
        virtual void seek(dt_ts_t position) = 0;
        virtual file_info_general_ptr get_file_info() = 0;
        virtual stream_info_ptr get_stream_info(unsigned int index) const = 0;
        virtual bool is_eof() const = 0;
    };

    explicit media_splitter(Impl* impl) : facade(impl) {}
    virtual ~media_splitter() = 0;

    media_packet_ptr read_packet() { return impl()->read_packet(); }
    void seek(dt_ts_t position) { impl()->seek(position); }
    file_info_general_ptr get_file_info() { return impl()->get_file_info(); }
    stream_info_ptr get_stream_info(unsigned int index) const {
        return impl()->get_stream_info(index);
    }
    bool is_eof() const { return impl()->is_eof(); }
};
typedef boost::shared_ptr<media_splitter> media_splitter_ptr;

// Opens the file at a UTF-8 path; throws media_splitter::error when it
// cannot be opened or its streams cannot be read.
media_splitter_ptr create_media_splitter(const char* path);

} // namespace kestrel
