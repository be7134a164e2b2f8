#include "ffmpeg/DTFFWideFile.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>

extern "C" {
#include <libavutil/error.h>
}

using namespace kestrel;

namespace {
const std::string unicode_name = "m\xC3\xBAsica-\xD0\xBC\xD1\x83\xD0\xB7\xD1\x8B\xD0\xBA\xD0\xB0.bin";
}

TEST(WideFile, PrefixIsStrippedOnlyInExactCase) {
    test::TempDir dir;
    const std::string path = dir.file(unicode_name);
    test::write_file(path, "content");

    wide_file_context with_prefix, plain, capital;
    ASSERT_EQ(0, wide_file_open(&with_prefix, ("file:" + path).c_str(), AVIO_FLAG_READ));
    ASSERT_EQ(0, wide_file_open(&plain, path.c_str(), AVIO_FLAG_READ));
    EXPECT_EQ(-ENOENT, wide_file_open(&capital, ("FILE:" + path).c_str(), AVIO_FLAG_READ));
    unsigned char buffer[16];
    EXPECT_EQ(7, wide_file_read(&with_prefix, buffer, sizeof buffer));
    EXPECT_EQ(0, wide_file_read(&with_prefix, buffer, sizeof buffer));
    EXPECT_EQ(0, wide_file_close(&with_prefix));
    EXPECT_EQ(0, wide_file_close(&plain));
}

TEST(WideFile, OpenFlags) {
    test::TempDir dir;
    const std::string existing = dir.file("existing");
    test::write_file(existing, "old bytes");
    wide_file_context write;
    ASSERT_EQ(0, wide_file_open(&write, existing.c_str(), AVIO_FLAG_WRITE));
    wide_file_close(&write);
    EXPECT_EQ(0, test::file_size(existing));

    wide_file_context both;
    const std::string created = dir.file(unicode_name);
    ASSERT_EQ(0, wide_file_open2(&both, created.c_str(), AVIO_FLAG_READ_WRITE, nullptr));
    EXPECT_EQ(3, wide_file_write(&both, reinterpret_cast<const unsigned char*>("abc"), 3));
    wide_file_close(&both);
    EXPECT_EQ("abc", test::read_file(created));

    wide_file_context missing;
    EXPECT_EQ(-ENOENT, wide_file_open(&missing, dir.file("missing").c_str(), AVIO_FLAG_READ));
}

TEST(WideFile, SizeQueryDoesNotMove) {
    test::TempDir dir;
    const std::string path = dir.file("thousand");
    test::write_file(path, std::string(1000, 'x') );
    wide_file_context file;
    ASSERT_EQ(0, wide_file_open(&file, path.c_str(), AVIO_FLAG_READ));
    unsigned char buffer[10];
    EXPECT_EQ(10, wide_file_read(&file, buffer, 10));
    EXPECT_EQ(1000, wide_file_seek(&file, 0, AVSEEK_SIZE));
    EXPECT_EQ(10, wide_file_seek(&file, 0, SEEK_CUR));
    EXPECT_EQ(990, wide_file_seek(&file, -10, SEEK_END));
    EXPECT_EQ(-1, wide_file_get_handle(&file)) << "the reader keeps its descriptor";
    wide_file_close(&file);
}

TEST(WideFile, CheckGrantsWhatTheModeAllows) {
    test::TempDir dir;
    const std::string path = dir.file(unicode_name);
    test::write_file(path, "x");
    ::chmod(path.c_str(), 0444);
    wide_file_context file;
    file.filename = path;
    EXPECT_EQ(AVIO_FLAG_READ, wide_file_check(&file, AVIO_FLAG_READ | AVIO_FLAG_WRITE));
    file.filename = dir.file("missing");
    EXPECT_EQ(-ENOENT, wide_file_check(&file, AVIO_FLAG_READ));
}

TEST(WideFile, IOContextReadsWritesAndReportsTheEnd) {
    test::TempDir dir;
    const std::string path = dir.file(unicode_name);
    AVIOContext* out = nullptr;
    ASSERT_EQ(0, dt_avio_open(&out, path, AVIO_FLAG_WRITE));
    avio_write(out, reinterpret_cast<const unsigned char*>("0123456789"), 10);
    avio_seek(out, 2, SEEK_SET);
    avio_write(out, reinterpret_cast<const unsigned char*>("ab"), 2);
    EXPECT_EQ(0, dt_avio_close(&out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ("01ab456789", test::read_file(path));

    AVIOContext* in = nullptr;
    ASSERT_EQ(0, dt_avio_open(&in, "file:" + path, AVIO_FLAG_READ));
    EXPECT_EQ(10, avio_size(in));
    unsigned char buffer[32];
    EXPECT_EQ(10, avio_read(in, buffer, sizeof buffer));
    EXPECT_EQ(AVERROR_EOF, avio_read(in, buffer, sizeof buffer));
    EXPECT_TRUE(avio_feof(in));
    EXPECT_EQ(0, dt_avio_close(&in));

    EXPECT_EQ(AVERROR(ENOENT), dt_avio_open(&in, dir.file("none/x"), AVIO_FLAG_WRITE));
    EXPECT_EQ(0, dt_avio_close(&in));
}

TEST(WideFile, FullDiskIsReportedWhenTheContextCloses) {
    AVIOContext* out = nullptr;
    ASSERT_EQ(0, dt_avio_open(&out, "/dev/full", AVIO_FLAG_WRITE));
    const std::string bytes(1000, 'x');
    avio_write(out, reinterpret_cast<const unsigned char*>(bytes.data()), 1000);
    EXPECT_EQ(AVERROR(ENOSPC), dt_avio_close(&out));
    EXPECT_EQ(nullptr, out);
}
