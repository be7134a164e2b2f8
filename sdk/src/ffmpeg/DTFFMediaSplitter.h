#pragma once
// The FFmpeg demultiplexer. Files are read through the library's own I/O
// context, so any UTF-8 path opens.

#include "DTFFHandles.h"
#include "media/DTMediaSplitter.h"

#include <vector>

namespace kestrel {

namespace details {
// Each throws media_splitter::error naming the FFmpeg call and its negated
// result, or errors::invalid_operation for a null context.
AVFormatContextPtr dt_av_open_input_file(const char* path, const AVInputFormat* format,
                                         AVDictionary** options);
void dt_av_find_stream_info(AVFormatContext* context);
void dt_av_seek_frame(AVFormatContext* context, int stream_index, dt_ts_t position, int flags);
AVPacketPtr dt_av_create_packet();
// The next packet, or an empty pointer with eof set at the end of the file;
// a read error (EIO and the like) is media_splitter::error, not the end.
AVPacketPtr dt_av_read_frame(AVFormatContext* context, bool& eof);
} // namespace details

class av_media_splitter_impl : public media_splitter::Impl {
public:
    explicit av_media_splitter_impl(const char* path);
    explicit av_media_splitter_impl(const AVFormatContextPtr& context);

    media_packet_ptr read_packet() override;
    void seek(dt_ts_t position) override;
    file_info_general_ptr get_file_info() override { return file_info_; }
    stream_info_ptr get_stream_info(unsigned int index) const override;
    bool is_eof() const override { return eof_; }

private:
    void describe(const AVFormatContextPtr& context);

    AVFormatContextPtr context_;
    file_info_general_ptr file_info_;
    bool eof_ = true;
    // Looked up per packet; filled when the file is opened.
    std::vector<int> media_types_;
    std::vector<AVRational> time_bases_;
    std::vector<AVRational> frame_rates_;
};

class ff_media_splitter : public media_splitter {
public:
    explicit ff_media_splitter(const char* path)
        : media_splitter(new av_media_splitter_impl(path)) {}
    explicit ff_media_splitter(const AVFormatContextPtr& context)
        : media_splitter(new av_media_splitter_impl(context)) {}
};

} // namespace kestrel
