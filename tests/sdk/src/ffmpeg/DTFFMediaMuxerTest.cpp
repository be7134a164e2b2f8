#include "encoders/DTMediaMuxer.h"
#include "ffmpeg/DTFFMediaMuxer.h"
#include "support/MediaProbe.h"
#include "support/TestFiles.h"
#include "support/TestPictures.h"
#include "support/VideoPipeline.h"

#include <boost/make_shared.hpp>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <sys/resource.h>

using namespace kestrel;

namespace {

// Files of this process may grow to `bytes` and no further while it
// lives: writes beyond fail with EFBIG, as on a full disk.
class file_size_limit {
public:
    explicit file_size_limit(long long bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = static_cast<rlim_t>(bytes);
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~file_size_limit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_handler_);
    }

private:
    rlimit saved_;
    void (*previous_handler_)(int);
};

const int width = 64;
const int height = 48;

media_settings_ptr mpeg4_settings() {
    media_settings_ptr settings = test::video_settings("mpeg4", width, height);
    settings->set("bitrate", 200000);
    return settings;
}

// The media library's log lines (it logs through std::cout) stay out of
// the test output while one lives; the test framework prints its failures
// with printf, so those still show.
class library_log {
public:
    library_log() : previous_(std::cout.rdbuf(text_.rdbuf())) {}
    ~library_log() { std::cout.rdbuf(previous_); }
    library_log(const library_log&) = delete;
    library_log& operator=(const library_log&) = delete;

    std::string text() const { return text_.str(); }

private:
    std::ostringstream text_;
    std::streambuf* previous_;
};

// Runs `work` without its log lines in the output; returns them.
std::string quietly(const std::function<void()>& work) {
    library_log log;
    work();
    return log.text();
}

std::string api_function(const boost::exception& e) {
    const char* const* function = boost::get_error_info<errinfo_api_function>(e);
    return function ? *function : "";
}

} // namespace

TEST(FFMediaMuxer, UnknownContainerIsInvalidFormatAndMakesNoFile) {
    test::TempDir dir;
    for (const char* format : {"ffmpeg/no-such-container", "ffmpeg//mp4"}) {
        try {
            media_muxer_creator::create(format, dir.file("x.out"), std::vector<void*>());
            ADD_FAILURE() << format;
        } catch (const media_muxer::error_invalid_format& e) {
            EXPECT_STREQ("muxer : invalid format", e.what());
            EXPECT_EQ("av_guess_format", api_function(e));
        }
    }
    EXPECT_FALSE(test::file_exists(dir.file("x.out")));
}

TEST(FFMediaMuxer, ContainersWithGlobalHeadersAskTheEncoderForThem) {
    test::TempDir dir;
    quietly([&] {
        test::video_pipeline mp4("ffmpeg/mp4", dir.file("a.mp4"), mpeg4_settings());
        auto* context = static_cast<AVCodecContext*>(mp4.encoder()->codec_context());
        EXPECT_TRUE(context->flags & AV_CODEC_FLAG_GLOBAL_HEADER);

        test::video_pipeline avi("ffmpeg/avi", dir.file("a.avi"), mpeg4_settings());
        context = static_cast<AVCodecContext*>(avi.encoder()->codec_context());
        EXPECT_FALSE(context->flags & AV_CODEC_FLAG_GLOBAL_HEADER);
    });
}

TEST(FFMediaMuxer, PacketsAreAcceptedOnlyBetweenOpenAndClose) {
    test::TempDir dir;
    quietly([&] {
        test::video_pipeline pipeline("ffmpeg/avi", dir.file("a.avi"), mpeg4_settings());
        const media_muxer_ptr& muxer = pipeline.muxer();
        EXPECT_THROW(muxer->write_packet(media_packet_ptr(), 0), errors::invalid_operation);

        pipeline.open();
        muxer->write_packet(media_packet_ptr(), 0);
        muxer->write_packet(media_packet_ptr());
        const video_data_ptr picture = test::make_yuv_picture(width, height, 0);
        pipeline.encoder()->send(picture.get());
        const media_packet_ptr packet = pipeline.encoder()->get_packet();
        ASSERT_TRUE(packet);
        EXPECT_THROW(muxer->write_packet(packet, 1), errors::invalid_argument);
        EXPECT_THROW(muxer->write_packet(packet, -1), errors::invalid_argument);
        muxer->write_packet(packet); // to its own stream index, 0

        EXPECT_THROW(muxer->open(), errors::invalid_operation);
        muxer->close();
        muxer->close();
        EXPECT_THROW(muxer->write_packet(packet, 0), errors::invalid_operation);
    });
    const test::media_probe probe = test::probe_media_file(dir.file("a.avi"));
    ASSERT_EQ(1u, probe.streams.size());
    EXPECT_EQ(1, probe.streams[0].decoded_frames);
}

TEST(FFMediaMuxer, NullCodecContextFailsTheOpen) {
    test::TempDir dir;
    media_muxer_ptr muxer =
        media_muxer_creator::create("ffmpeg/avi", dir.file("a.avi"), std::vector<void*>(1));
    try {
        quietly([&] { muxer->open(); });
        FAIL();
    } catch (const errors::failure& e) {
        EXPECT_STREQ("[ff_simple_media_muxer_impl::open] null codec", e.what());
    }
    quietly([&] { EXPECT_THROW(muxer->open(), errors::invalid_operation); });
    EXPECT_FALSE(test::file_exists(dir.file("a.avi")));
}

TEST(FFMediaMuxer, FailuresOfOpenAreLoggedAndThrown) {
    test::TempDir dir;
    {
        library_log log;
        {
            media_muxer_ptr muxer = media_muxer_creator::create("ffmpeg/avi", dir.file("a.avi"),
                                                                std::vector<void*>(1));
            EXPECT_THROW(muxer->open(), errors::failure);
        }
        EXPECT_NE(std::string::npos,
                  log.text().find(
                      "[kestrel][error][ff_simple_media_muxer_impl::open] null codec (0)\n"));
    }

    // A folder that does not exist.
    library_log log;
    {
        test::video_pipeline pipeline("ffmpeg/mp4", dir.file("missing/a.mp4"), mpeg4_settings());
        pipeline.encoder()->open();
        try {
            pipeline.muxer()->open();
            ADD_FAILURE();
        } catch (const media_muxer::error_create_file& e) {
            EXPECT_STREQ("muxer : create file error", e.what());
            EXPECT_EQ("avio_open", api_function(e));
            ASSERT_NE(nullptr, boost::get_error_info<errinfo_errno>(e));
            EXPECT_EQ(ENOENT, *boost::get_error_info<errinfo_errno>(e));
        }
        EXPECT_THROW(pipeline.muxer()->write_packet(media_packet_ptr(), 0),
                     errors::invalid_operation);
    }
    EXPECT_NE(std::string::npos,
              log.text().find(
                  "[kestrel][error][ff_simple_media_muxer_impl::open] avio_open failed (-2)\n"));
}

TEST(FFMediaMuxer, RefusedHeaderLeavesAClosableFile) {
    test::TempDir dir;
    const std::string path = dir.file("a.flv");
    library_log library;
    {
        // FLV has no place for MPEG-2 video.
        test::video_pipeline pipeline("ffmpeg/flv", path,
                                      test::video_settings("mpeg2video", width, height));
        pipeline.encoder()->open();
        EXPECT_THROW(pipeline.muxer()->open(), media_muxer::error_write_header);
        EXPECT_THROW(pipeline.muxer()->write_packet(media_packet_ptr(), 0),
                     errors::invalid_operation);
        pipeline.muxer()->close();
    }
    const std::string log = library.text();
    EXPECT_NE(
        std::string::npos,
        log.find(
            "[kestrel][error][ff_simple_media_muxer_impl::open] avformat_write_header failed ("))
        << log;
    EXPECT_TRUE(test::file_exists(path));
}

TEST(FFMediaMuxer, FailedTrailerReachesTheCallerOfClose) {
    test::TempDir dir;
    const std::string path = dir.file("full.avi");
    std::unique_ptr<media_muxer::error_write_trailer> error;
    quietly([&] {
        test::video_pipeline pipeline("ffmpeg/avi", path, mpeg4_settings());
        pipeline.open();
        pipeline.encode(3);
        pipeline.encoder()->send_timed(video_data_timed_ptr());
        while (media_packet_ptr packet = pipeline.encoder()->get_packet())
            pipeline.muxer()->write_packet(packet, 0);
        {
            // The disk is full from here on: the index at the end fails.
            file_size_limit full(test::file_size(path));
            try {
                pipeline.muxer()->close();
            } catch (const media_muxer::error_write_trailer& e) {
                error.reset(new media_muxer::error_write_trailer(e));
            }
        }
        pipeline.muxer()->close(); // the trailer is not tried again
    });
    ASSERT_TRUE(error);
    EXPECT_STREQ("muxer : write trailer error", error->what());
    EXPECT_EQ("av_write_trailer", api_function(*error));
    ASSERT_NE(nullptr, boost::get_error_info<errinfo_errno>(*error));
    EXPECT_EQ(EFBIG, *boost::get_error_info<errinfo_errno>(*error));
}

TEST(FFMediaMuxer, FailedWritesAtReleaseAreLogged) {
    // Every packet is flushed to the file: /dev/full refuses the first.
    std::string log = quietly([&] {
        test::video_pipeline pipeline("ffmpeg/avi", "/dev/full", mpeg4_settings());
        pipeline.open();
        EXPECT_THROW(pipeline.encode(1), media_muxer::error_write_packet);
    });
    EXPECT_NE(std::string::npos,
              log.find("[kestrel][error][media_muxer::~media_muxer] close failed\n"))
        << log;
}

TEST(FFMediaMuxer, CloseWithoutOpenWritesNothing) {
    test::TempDir dir;
    quietly([&] {
        test::video_pipeline pipeline("ffmpeg/mp4", dir.file("a.mp4"), mpeg4_settings());
        pipeline.muxer()->close();
        pipeline.muxer()->close();
    });
    EXPECT_FALSE(test::file_exists(dir.file("a.mp4")));
}

// A packet without bytes is not written (an MPEG program stream would
// never finish its file with one queued); one whose stamps have no unit,
// or that would be decoded long before the file's start, is refused.
TEST(FFMediaMuxer, PacketsTheFileCannotPlaceAreNotWritten) {
    test::TempDir dir;
    const std::string path = dir.file("a.mpg");
    quietly([&] {
        test::video_pipeline pipeline("ffmpeg/dvd", path,
                                      test::video_settings("mpeg2video", width, height));
        pipeline.open();
        pipeline.encode(3);
        auto empty = boost::make_shared<common_media_packet2>();
        empty->properties()->set_time_base(dt_rational_t(1, 25));
        pipeline.muxer()->write_packet(empty, 0);

        auto unitless = boost::make_shared<common_media_packet2>();
        uint8_t bytes[8] = {0, 0, 1, 0xb3};
        unitless->properties()->set_data(bytes, sizeof bytes, dt_buffer_copy);
        EXPECT_THROW(pipeline.muxer()->write_packet(unitless, 0), errors::invalid_argument);
        unitless->properties()->set_time_base(dt_rational_t(-1, 25));
        EXPECT_THROW(pipeline.muxer()->write_packet(unitless, 0), errors::invalid_argument);
        unitless->properties()->set_time_base(dt_rational_t(1, 25));
        unitless->properties()->set_dts(-125); // five seconds before the first picture
        unitless->properties()->set_pts(-125);
        EXPECT_THROW(pipeline.muxer()->write_packet(unitless, 0), errors::invalid_argument);
        pipeline.finish();
    });
    const test::media_probe probe = test::probe_media_file(path);
    ASSERT_EQ(1u, probe.count(0));
    EXPECT_EQ(3, probe.first(0)->decoded_frames);
}

namespace {

struct stamps {
    int64_t pts;
    int64_t dts;
    int time_base_den; // of 1/den
};

struct stamp_sequence_case {
    const char* name;
    const char* container;
    const char* codec;
    std::vector<stamps> packets;
    // The index of the packet refused; -1 when all are written.
    int refused;
    // What the refusal says, where a row checks it.
    const char* error = nullptr;
};

const int64_t unset = AV_NOPTS_VALUE;
const int64_t hours = 3600 * 25; // in 1/25

// Stamp sequences a muxer must refuse (with an error, never an abort in
// FFmpeg, then close its file as usual) or accept: every packet carries the
// bytes of one real encoded picture, restamped.
const stamp_sequence_case stamp_sequences[] = {
    // What encoders hand over: reordered pictures, decoded before shown.
    {"reordered", "mp4", "mpeg4", {{0, -1, 25}, {3, 0, 25}, {1, 1, 25}, {2, 2, 25}}, -1},
    {"only_presentation_stamps", "avi", "mpeg4", {{0, unset, 25}, {1, unset, 25}}, -1},
    {"equal_dts_where_allowed", "matroska", "mpeg4", {{0, 0, 25}, {1, 0, 25}}, -1},
    {"equal_dts_in_flv", "flv", "flv", {{0, 0, 25}, {1, 0, 25}}, -1},
    {"start_within_the_hour", "mov", "mpeg4", {{hours - 1, hours - 1, 25}}, -1},
    {"presented_before_decoded", "mp4", "mpeg4", {{131072, 1979711488, 6400}}, 0},
    {"presented_before_decoded_later", "avi", "mpeg4", {{0, 0, 25}, {1, 2, 25}}, 1},
    {"dts_repeats", "mp4", "mpeg4", {{0, 0, 25}, {1, 1, 25}, {2, 1, 25}}, 2},
    {"dts_repeats_in_avi", "avi", "mpeg4", {{0, 0, 25}, {1, 0, 25}}, 1},
    {"dts_goes_back", "flv", "flv", {{0, 0, 25}, {2, 2, 25}, {1, 1, 25}}, 2},
    {"dts_goes_back_in_another_unit", "mov", "mpeg4", {{0, 0, 25}, {80, 80, 1000}, {79, 79, 1000}}, 2},
    {"pts_back_without_dts", "mp4", "mpeg4", {{5, unset, 25}, {4, unset, 25}}, 1},
    {"start_past_the_hour", "mp4", "mpeg4", {{hours + 1, hours + 1, 25}}, 0},
    {"start_far_before_zero", "matroska", "mpeg4", {{0, -hours - 1, 25}}, 0},
    {"first_shown_past_the_hour", "mov", "mpeg4", {{hours + 1, 0, 25}}, 0},
    // AVI fills a gap with an empty frame a tick: 40 minutes between
    // packets made 1.4 GB of a few kilobytes.
    {"jump_within_the_hour", "mp4", "mpeg4", {{0, 0, 25}, {hours, hours, 25}}, -1},
    {"jump_past_the_hour", "avi", "mpeg4", {{0, 0, 25}, {1, 1, 25}, {hours + 2, hours + 2, 25}}, 2,
     "muxer : packet decoded more than an hour after the previous one of its stream (stream 0: "
     "pts 90002, dts 90002, previous dts 1, time base 1/25)"},
    {"jump_past_the_hour_without_dts", "avi", "mpeg4", {{0, unset, 25}, {hours + 1, unset, 25}}, 1},
    // Jumps each within the hour, an hour and more in all.
    {"jumps_past_the_hour_in_all", "avi", "mpeg4",
     {{0, 0, 25}, {hours * 2 / 3, hours * 2 / 3, 25}, {hours * 4 / 3, hours * 4 / 3, 25}}, 2,
     "muxer : packets of the stream skip more than an hour in all (stream 0: pts 120000, dts 120000, "
     "previous dts 60000, time base 1/25)"},
    // Shown 2^31 ticks of the stream's 1/12800 after it is decoded: mp4
    // keeps that offset in 32 bits, and a wrapped one made FFmpeg abort the
    // process in the trailer (the fuzzer's finding, as the first packet).
    {"offset_wraps_32_bits", "mp4", "mpeg4", {{0, 0, 25}, {4194305, 1, 25}}, 1},
    {"offset_wraps_32_bits_first", "mp4", "mpeg4", {{4194305, 1, 25}}, 0},
    {"stamp_beyond_the_stream_unit", "mp4", "mpeg4", {{INT64_MAX / 2, INT64_MAX / 2, 1}}, 0},
};

void PrintTo(const stamp_sequence_case& sequence, std::ostream* out) { *out << sequence.name; }

class FFMediaMuxerStamps : public testing::TestWithParam<stamp_sequence_case> {};

} // namespace

TEST_P(FFMediaMuxerStamps, RefusedWithAnErrorAndTheFileStillCloses) {
    const stamp_sequence_case& sequence = GetParam();
    test::TempDir dir;
    const std::string path = dir.file("stamps");
    quietly([&] {
        test::video_pipeline pipeline(std::string("ffmpeg/") + sequence.container, path,
                                      test::video_settings(sequence.codec, width, height));
        pipeline.open();
        const video_data_ptr picture = test::make_yuv_picture(width, height, 0);
        pipeline.encoder()->send(picture.get());
        const media_packet_ptr encoded = pipeline.encoder()->get_packet();
        ASSERT_TRUE(encoded);
        for (std::size_t i = 0; i < sequence.packets.size(); ++i) {
            auto packet = boost::make_shared<common_media_packet2>();
            media_packet_properties* set = packet->properties();
            set->set_data(const_cast<uint8_t*>(encoded->data()), encoded->size(), dt_buffer_copy);
            set->set_flags(encoded->flags());
            set->set_pts(sequence.packets[i].pts);
            set->set_dts(sequence.packets[i].dts);
            set->set_time_base(dt_rational_t(1, sequence.packets[i].time_base_den));
            if (static_cast<int>(i) == sequence.refused) {
                try {
                    pipeline.muxer()->write_packet(packet, 0);
                    ADD_FAILURE() << "packet " << i << " written";
                } catch (const errors::invalid_argument& e) {
                    if (sequence.error) {
                        EXPECT_STREQ(sequence.error, e.what());
                    }
                }
            } else
                EXPECT_NO_THROW(pipeline.muxer()->write_packet(packet, 0)) << i;
        }
        EXPECT_NO_THROW(pipeline.muxer()->close());
    });
    // What was accepted is in the file (a file without pictures has no
    // stream to probe).
    const int written = sequence.refused < 0 ? static_cast<int>(sequence.packets.size())
                                             : sequence.refused;
    if (written == 0) {
        EXPECT_TRUE(test::file_exists(path));
        return;
    }
    const test::media_probe probe = test::probe_media_file(path);
    ASSERT_EQ(1u, probe.streams.size());
    EXPECT_EQ(written, probe.streams[0].decoded_frames);
}

INSTANTIATE_TEST_SUITE_P(Sequences, FFMediaMuxerStamps, testing::ValuesIn(stamp_sequences),
                         [](const testing::TestParamInfo<stamp_sequence_case>& info) {
                             return std::string(info.param.name);
                         });
