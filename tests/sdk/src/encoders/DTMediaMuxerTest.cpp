#include "encoders/DTMediaMuxer.h"
#include "encoders/DTRawFile.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <string>

using namespace kestrel;

namespace {

media_packet_ptr bytes_packet(const std::string& bytes) {
    auto packet = boost::make_shared<common_media_packet2>();
    packet->properties()->set_data(reinterpret_cast<uint8_t*>(const_cast<char*>(bytes.data())),
                                   bytes.size(), dt_buffer_copy);
    return packet;
}

class failing_close : public media_muxer::Impl {
public:
    void open() override {}
    void write_packet(media_packet_ptr) override {}
    void close() override { KESTREL_THROW(media_muxer::error_write_trailer()); }
};

} // namespace

TEST(RawFile, PacketBytesFollowOneAnother) {
    test::TempDir dir;
    const std::string path = dir.file("pictures.ppm");
    media_muxer_ptr muxer = media_muxer_creator::create("kestrel/ppm", path);
    muxer->open();
    muxer->write_packet(bytes_packet("abc"));
    muxer->write_packet(bytes_packet(""));
    muxer->write_packet(bytes_packet("defgh"), 1); // the index is not used
    muxer->write_packet(media_packet_ptr());
    muxer.reset();
    EXPECT_EQ("abcdefgh", test::read_file(path));
}

TEST(RawFile, ExistingFileIsEmptiedAtConstruction) {
    test::TempDir dir;
    const std::string path = dir.file("old.ppm");
    test::write_file(path, "old content");
    raw_file file(path);
    EXPECT_EQ(0, test::file_size(path));
}

TEST(RawFile, WritingAfterCloseIsRefusedAndCloseTwiceIsHarmless) {
    test::TempDir dir;
    raw_file file(dir.file("closed.ppm"));
    file.close();
    file.close();
    EXPECT_THROW(file.write_packet(bytes_packet("x")), errors::unexpected);
}

TEST(RawFile, UnopenableFileIsCreateFile) {
    test::TempDir dir;
    EXPECT_THROW(raw_file(dir.file("missing/folder.ppm")), errors::create_file);
}

TEST(RawFile, LostBytesAreReportedByClose) {
    raw_file full("/dev/full");
    full.write_packet(bytes_packet(std::string(100, 'x')));
    try {
        full.close();
        FAIL();
    } catch (const errors::unexpected& e) {
        ASSERT_NE(nullptr, boost::get_error_info<errinfo_errno>(e));
        EXPECT_EQ(ENOSPC, *boost::get_error_info<errinfo_errno>(e));
    }
    full.close(); // already closed
}

TEST(MediaMuxer, FormatTextsOutsideTheFamiliesAreRefused) {
    test::TempDir dir;
    for (const char* format : {"FFMPEG/mp4", "/ppm", "", "kestrel", "ffmpeg", "kestrel/ffmpeg/mp4",
                               "kestrel/raw", "Kestrel/ppm"}) {
        try {
            media_muxer_creator::create(format, dir.file("refused"));
            ADD_FAILURE() << format;
        } catch (const errors::invalid_operation& e) {
            EXPECT_STREQ("invalid operation", e.what());
        }
    }
    EXPECT_FALSE(test::file_exists(dir.file("refused")));
}

TEST(MediaMuxer, FurtherPartsAreIgnored) {
    test::TempDir dir;
    EXPECT_TRUE(boost::dynamic_pointer_cast<raw_file>(
        media_muxer_creator::create("kestrel/ppm/anything", dir.file("a.ppm"))));
    EXPECT_TRUE(media_muxer_creator::create("ffmpeg/mp4/x", dir.file("a.mp4")));
}

TEST(MediaMuxer, FailingCloseIsLoggedByTheDestructor) {
    testing::internal::CaptureStdout();
    EXPECT_NO_THROW({ media_muxer muxer(new failing_close()); });
    EXPECT_EQ("[kestrel][error][media_muxer::~media_muxer] close failed\n",
              testing::internal::GetCapturedStdout());
}

TEST(MediaMuxer, ErrorTextsAndKinds) {
    EXPECT_STREQ("muxer : write trailer error", media_muxer::error_write_trailer().what());
    EXPECT_STREQ("muxer : invalid format", media_muxer::error_invalid_format().what());
    EXPECT_STREQ("muxer : create file error", media_muxer::error_create_file().what());
    EXPECT_STREQ("muxer : write header error", media_muxer::error_write_header().what());
    EXPECT_STREQ("muxer : write packet error", media_muxer::error_write_packet().what());
    try {
        KESTREL_THROW(media_muxer::error_create_file() << errinfo_errno(2));
    } catch (const media_muxer::error& e) {
        EXPECT_STREQ("muxer : create file error", e.what());
        EXPECT_NE(nullptr, boost::get_error_info<boost::throw_function>(e));
    }
}
