#include "ffmpeg/DTFFMediaSplitter.h"
#include "ffmpeg/DTFFStreamInfo.h"

#include "base/DTUtils.h"
#include "support/MusicFiles.h"
#include "support/TestFiles.h"

#include <boost/make_shared.hpp>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <future>

using namespace kestrel;
using namespace kestrel::test;

namespace {

int count_packets_to_end(media_splitter& splitter) {
    int count = 0;
    while (splitter.read_packet()) {
        EXPECT_FALSE(splitter.is_eof());
        ++count;
    }
    EXPECT_TRUE(splitter.is_eof());
    return count;
}

// A file's bytes served to FFmpeg up to a point, then every read fails as
// on a damaged disk.
struct failing_disk {
    std::string bytes;
    std::size_t offset = 0;
    std::size_t fail_at = 0;

    static int read(void* opaque, uint8_t* buffer, int size) {
        auto* disk = static_cast<failing_disk*>(opaque);
        if (disk->offset >= disk->fail_at)
            return AVERROR(EIO);
        const std::size_t count =
            std::min(static_cast<std::size_t>(size), disk->fail_at - disk->offset);
        std::memcpy(buffer, disk->bytes.data() + disk->offset, count);
        disk->offset += count;
        return static_cast<int>(count);
    }
};

struct close_custom_input {
    void operator()(AVFormatContext* context) const {
        AVIOContext* io = context->pb;
        avformat_close_input(&context);
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};

media_splitter_ptr open_on(failing_disk& disk) {
    const int buffer_size = 4096;
    AVIOContext* io = avio_alloc_context(static_cast<unsigned char*>(av_malloc(buffer_size)),
                                         buffer_size, 0, &disk, &failing_disk::read, nullptr,
                                         nullptr);
    AVFormatContext* context = avformat_alloc_context();
    context->pb = io;
    context->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (avformat_open_input(&context, nullptr, nullptr, nullptr) < 0)
        throw std::runtime_error("cannot open the test input");
    AVFormatContextPtr held(context, close_custom_input());
    details::dt_av_find_stream_info(context);
    return boost::make_shared<ff_media_splitter>(held);
}

} // namespace

TEST(FFMediaSplitter, ReadErrorIsNotTheEndOfTheFile) {
    failing_disk disk;
    disk.bytes = read_file(sample_tone_file("wav"));
    disk.fail_at = disk.bytes.size() / 2;
    media_splitter_ptr splitter = open_on(disk);
    int packets = 0;
    try {
        while (splitter->read_packet())
            ++packets;
        FAIL() << "a read error ended the file as if it were complete";
    } catch (const media_splitter::error& e) {
        const int* code = boost::get_error_info<errinfo_errno>(e);
        ASSERT_NE(nullptr, code);
        EXPECT_EQ(EIO, *code);
        EXPECT_STREQ("av_read_frame", *boost::get_error_info<errinfo_api_function>(e));
    }
    EXPECT_GT(packets, 0);
    EXPECT_FALSE(splitter->is_eof());
}

// A named pipe would block the opening thread until someone writes to it;
// a folder or a device is no media file either.
TEST(FFMediaSplitter, RefusesWhatIsNotARegularFile) {
    TempDir dir;
    const std::string pipe = dir.file("pïpe.mp3");
    ASSERT_EQ(0, mkfifo(pipe.c_str(), 0600));
    auto opening = std::async(std::launch::async, [&pipe] {
        try {
            create_media_splitter(pipe.c_str());
            return std::string("opened");
        } catch (const media_splitter::error&) {
            return std::string("refused");
        }
    });
    if (opening.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        // Let the blocked open go on, so that the test can end.
        const int writer = open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            close(writer);
        ADD_FAILURE() << "opening a named pipe blocked";
    }
    EXPECT_EQ("refused", opening.get());
    EXPECT_THROW(create_media_splitter(dir.path().c_str()), media_splitter::error);
    EXPECT_THROW(create_media_splitter("/dev/zero"), media_splitter::error);
}

TEST(FFMediaSplitter, FileDescriptionOutlivesTheSplitter) {
    media_splitter_ptr splitter = create_media_splitter(sample_tone_file("wav").c_str());
    file_info_general_ptr file = splitter->get_file_info();
    splitter.reset();
    EXPECT_EQ(1u, file->nb_streams());
    EXPECT_EQ("wav", file->format_name());
    EXPECT_EQ(1000000, file->duration());
}

TEST(FFMediaSplitter, MissingFileIsRefused) {
    TempDir dir;
    try {
        create_media_splitter(dir.file("nöne.mp3").c_str());
        FAIL() << "a missing file must not open";
    } catch (const media_splitter::error& e) {
        EXPECT_STREQ("kestrel sdk error", e.what());
        const char* const* function = boost::get_error_info<errinfo_api_function>(e);
        ASSERT_NE(nullptr, function);
        EXPECT_STREQ("av_open_input_file", *function);
        const int* code = boost::get_error_info<errinfo_errno>(e);
        ASSERT_NE(nullptr, code);
        EXPECT_EQ(ENOENT, *code);
    }

    const std::string not_media = dir.file("nötes.txt");
    write_file(not_media, "just some words, nothing to play");
    EXPECT_THROW(create_media_splitter(not_media.c_str()), media_splitter::error);
}

TEST(FFMediaSplitter, ReadsToTheEndAndSeeksBack) {
    media_splitter_ptr splitter = create_media_splitter(sample_tone_file("wav").c_str());
    EXPECT_FALSE(splitter->is_eof());
    const int packets = count_packets_to_end(*splitter);
    EXPECT_GT(packets, 1);
    EXPECT_FALSE(splitter->read_packet());

    // The end stays until a read finds a packet again.
    splitter->seek(0);
    EXPECT_TRUE(splitter->is_eof());
    media_packet_ptr first = splitter->read_packet();
    ASSERT_TRUE(first);
    EXPECT_FALSE(splitter->is_eof());
    EXPECT_EQ(0, first->pts());
    EXPECT_EQ(packets - 1, count_packets_to_end(*splitter));
}

TEST(FFMediaSplitter, DescribesFileAndStreams) {
    const std::string& path = sample_tone_file("wav");
    media_splitter_ptr splitter = create_media_splitter(path.c_str());

    file_info_general_ptr file = splitter->get_file_info();
    EXPECT_EQ(file, splitter->get_file_info());
    EXPECT_EQ(utf8_to_wide(path), file->filename());
    EXPECT_EQ(1u, file->nb_streams());
    EXPECT_EQ(1u, file->stream_count());
    EXPECT_EQ("wav", file->format_name());
    EXPECT_EQ(1000000, file->duration());
    EXPECT_EQ(0, file->file_size());
    EXPECT_TRUE(file->metadata().empty());
    EXPECT_EQ(dt_rational_t(1, 1000000), file->time_base());

    EXPECT_THROW(splitter->get_stream_info(1), errors::invalid_argument);
    stream_info_ptr stream = splitter->get_stream_info(0);
    EXPECT_NE(stream, splitter->get_stream_info(0));
    splitter.reset(); // a stream description stands on its own

    EXPECT_EQ(0, stream->index());
    EXPECT_EQ(dt_rational_t(1, 44100), stream->time_base());
    EXPECT_EQ(44100, stream->duration());
    EXPECT_EQ(AV_NOPTS_VALUE, stream->first_dts());
    EXPECT_EQ("", stream->text());
    EXPECT_FALSE(stream->extra_info());
    auto audio = boost::dynamic_pointer_cast<audio_decoder_info>(stream->get_decoder_info());
    ASSERT_TRUE(audio);
    EXPECT_EQ(stream->get_decoder_info(), stream->get_decoder_info());
    EXPECT_EQ(1, audio->media_type());
    EXPECT_EQ(AV_CODEC_ID_PCM_S16LE, audio->codec_id());
    EXPECT_EQ(44100, audio->sample_rate());
    EXPECT_EQ(2, audio->channels());
    EXPECT_EQ(1, audio->sample_format());
    EXPECT_EQ(dt_rational_t(1, 44100), audio->time_base());
}

TEST(FFMediaSplitter, PacketsCarryTheirStreamsTimeBase) {
    TempDir dir;
    const std::string path = dir.file("vidéo-then-audio.mkv");
    make_video_then_audio_file(path, 0.4);
    media_splitter_ptr splitter = create_media_splitter(path.c_str());
    ASSERT_EQ(2u, splitter->get_file_info()->nb_streams());

    stream_info_ptr video = splitter->get_stream_info(0);
    auto picture = boost::dynamic_pointer_cast<video_decoder_info>(video->get_decoder_info());
    ASSERT_TRUE(picture);
    EXPECT_EQ(16, picture->width());

    bool seen[2] = {false, false};
    while (media_packet_ptr packet = splitter->read_packet()) {
        const int index = packet->stream_index();
        ASSERT_LT(index, 2);
        seen[index] = true;
        stream_info_ptr stream = splitter->get_stream_info(index);
        EXPECT_EQ(stream->get_decoder_info()->media_type(), packet->media_type());
        EXPECT_EQ(stream->time_base(), packet->time_base());
        EXPECT_EQ(stream->frame_rate(), packet->frame_rate());
        EXPECT_TRUE(packet->ffmpeg_packet());
    }
    EXPECT_TRUE(seen[0] && seen[1]);
}

TEST(FFStreamInfo, DurationFromTheFile) {
    EXPECT_EQ(441000, dt_stream_duration_from_file(10000000, AVRational{1, 44100}));
    EXPECT_EQ(111111, dt_stream_duration_from_file(1234567, AVRational{1, 90000}));
    EXPECT_EQ(AV_NOPTS_VALUE, dt_stream_duration_from_file(AV_NOPTS_VALUE, AVRational{1, 1000}));
    EXPECT_EQ(AV_NOPTS_VALUE, dt_stream_duration_from_file(1000, AVRational{0, 1}));

    AVFormatContext* context = avformat_alloc_context();
    context->duration = 10000000;
    AVStream* stream = avformat_new_stream(context, nullptr);
    stream->time_base = AVRational{1, 44100};
    stream->codecpar->codec_type = AVMEDIA_TYPE_SUBTITLE;
    {
        ff_stream_info unknown_length(context, stream);
        EXPECT_EQ(441000, unknown_length.duration());
        EXPECT_EQ(AV_NOPTS_VALUE, unknown_length.start_time());
        EXPECT_EQ(3, unknown_length.get_decoder_info()->media_type());
        stream->duration = 123;
        EXPECT_EQ(123, ff_stream_info(context, stream).duration());
    }
    EXPECT_THROW(ff_stream_info(context, nullptr), errors::invalid_pointer);
    avformat_free_context(context);
}
