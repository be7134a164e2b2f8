#include "encoders/DTMediaMuxer.h"
#include "encoders/DTPPMEncoder.h"

#include "support/TestFiles.h"

#include <boost/make_shared.hpp>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kestrel;

namespace {

// Packed 3-byte pixels with rows `line_size` apart; byte i of the buffer
// holds i, so every copied byte tells where it came from.
class counted_picture_impl : public video_data::Impl {
public:
    counted_picture_impl(int width, int height, int line_size)
        : width_(width), height_(height), line_size_(line_size),
          bytes(static_cast<std::size_t>(line_size) * height) {
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<uint8_t>(i);
    }
    int width() const override { return width_; }
    int height() const override { return height_; }
    dt_pixel_format_t pixel_format() const override { return 2; }
    uint8_t* data() const override { return const_cast<uint8_t*>(bytes.data()); }
    int size() const override { return static_cast<int>(bytes.size()); }
    int planes_count() const override { return 1; }
    uint8_t* plane_data(int plane) const override { return plane == 0 ? data() : nullptr; }
    int line_size(int plane) const override { return plane == 0 ? line_size_ : 0; }

private:
    int width_, height_, line_size_;
    std::vector<uint8_t> bytes;
};

class counted_picture : public video_data {
public:
    counted_picture(int width, int height, int line_size)
        : video_data(new counted_picture_impl(width, height, line_size)) {}
};

std::string bytes_of(const media_packet_ptr& packet) {
    return packet ? std::string(reinterpret_cast<const char*>(packet->data()),
                                static_cast<std::size_t>(packet->size()))
                  : std::string("<none>");
}

// The image a picture of counted bytes gives: header, then each row's
// first width x 3 bytes.
std::string expected_image(const std::string& magic, int width, int height, int line_size) {
    std::string image = magic + "\n" + std::to_string(width) + " " + std::to_string(height) +
                        "\n255\n";
    for (int row = 0; row < height; ++row)
        for (int i = 0; i < width * 3; ++i)
            image += static_cast<char>(static_cast<uint8_t>(row * line_size + i));
    return image;
}

media_packet_ptr encode_one(media_settings_ptr settings, const video_data& picture) {
    ppm_encoder_impl encoder(settings);
    encoder.send(&picture);
    return encoder.get_packet();
}

struct ppm_case {
    const char* name;
    const char* key; // one setting, or null
    int value;
    int picture_width, picture_height, picture_line_size;
    const char* magic;
    int width, height; // of the image
};

void PrintTo(const ppm_case& c, std::ostream* out) { *out << c.name; }

class PPMImages : public ::testing::TestWithParam<ppm_case> {};

} // namespace

TEST(PPMEncoder, TwoByOnePictureIsHeaderAndSixBytes) {
    const media_packet_ptr packet = encode_one(media_settings_ptr(), counted_picture(2, 1, 6));
    ASSERT_TRUE(packet);
    EXPECT_EQ(std::string("P6\n2 1\n255\n") + std::string("\0\1\2\3\4\5", 6), bytes_of(packet));
    EXPECT_EQ(17, packet->size());
    EXPECT_EQ(dt_media_type_video, packet->media_type());
    EXPECT_EQ(0, packet->pts());
    EXPECT_EQ(0, packet->stream_index());
    EXPECT_EQ(dt_rational_t(0, 1), packet->time_base());
}

TEST_P(PPMImages, TakeTheirSizeAndRowsFromSettingsOrPicture) {
    const ppm_case& c = GetParam();
    media_settings_ptr settings =
        c.key ? media_settings::create(c.key, c.value) : media_settings::create();
    const media_packet_ptr packet =
        encode_one(settings, counted_picture(c.picture_width, c.picture_height,
                                             c.picture_line_size));
    const int line_size = c.key && std::string(c.key) == "line_size" ? c.value : c.picture_line_size;
    EXPECT_EQ(expected_image(c.magic, c.width, c.height, line_size), bytes_of(packet));
}

INSTANTIATE_TEST_SUITE_P(
    Settings, PPMImages,
    ::testing::Values(ppm_case{"PaddedRowsLoseTheirPadding", nullptr, 0, 2, 3, 8, "P6", 2, 3},
                      ppm_case{"WidthOverridesThePicture", "width", 3, 5, 2, 15, "P6", 3, 2},
                      ppm_case{"HeightOverridesThePicture", "height", 2, 4, 4, 12, "P6", 4, 2},
                      ppm_case{"FormatFiveKeepsThreeBytePixels", "format", 5, 2, 2, 6, "P5", 2, 2},
                      ppm_case{"LineSizeSetsTheRowDistance", "line_size", 6, 2, 2, 12, "P6", 2, 2}),
    [](const ::testing::TestParamInfo<ppm_case>& info) { return std::string(info.param.name); });

TEST(PPMEncoder, QueuesImagesInOrderEachOfItsOwnSize) {
    ppm_encoder_impl encoder{media_settings_ptr()};
    EXPECT_FALSE(encoder.get_packet());
    const counted_picture large(4, 4, 12), small(1, 2, 3);
    encoder.send(&large);
    encoder.send(&small); // after a larger one: the buffer is not the image
    encoder.send(nullptr);
    EXPECT_EQ(expected_image("P6", 4, 4, 12), bytes_of(encoder.get_packet()));
    EXPECT_EQ(expected_image("P6", 1, 2, 3), bytes_of(encoder.get_packet()));
    EXPECT_FALSE(encoder.get_packet());

    const video_data_ptr picture = boost::make_shared<counted_picture>(2, 1, 6);
    encoder.send_timed(boost::make_shared<video_data_timed>(picture, 40.0, 80.0).get());
    encoder.send_timed(nullptr);
    EXPECT_EQ(expected_image("P6", 2, 1, 6), bytes_of(encoder.get_packet()));
    EXPECT_FALSE(encoder.get_packet());
    EXPECT_EQ(nullptr, encoder.codec_context());
}

// Settings that would read past the picture's rows are refused, whatever
// the picture's format says.
TEST(PPMEncoder, RefusesPicturesTooSmallForTheImage) {
    const struct {
        const char* key;
        int value;
    } refused[] = {{"width", 3}, {"height", 3}, {"width", -1}, {"line_size", 5}, {"line_size", 9}};
    for (const auto& entry : refused) {
        ppm_encoder_impl encoder(media_settings::create(entry.key, entry.value));
        const counted_picture picture(2, 2, 6);
        EXPECT_THROW(encoder.send(&picture), video_encoder_queue::error) << entry.key;
        EXPECT_FALSE(encoder.get_packet());
    }
    // A YUV picture's first plane has one byte per pixel, not three.
    ppm_encoder_impl encoder{media_settings_ptr()};
    const counted_picture luma(16, 4, 16);
    EXPECT_THROW(encoder.send(&luma), video_encoder_queue::error);
}

// The family "kestrel/ppm" chosen by name, written by the raw file: the
// file is the images one after another.
TEST(PPMEncoder, KestrelPpmWritesImagesOneAfterAnother) {
    test::TempDir dir;
    const std::string path = dir.file("främes.ppm");
    video_encoder_queue_ptr encoder = video_encoder_queue_creator::create("kestrel/ppm");
    ASSERT_TRUE(encoder);
    media_muxer_ptr file = media_muxer_creator::create("kestrel/ppm", path);
    encoder->open();
    file->open();
    std::string expected;
    for (int width = 1; width <= 3; ++width) {
        const counted_picture picture(width, 2, 12);
        encoder->send(&picture);
        while (media_packet_ptr packet = encoder->get_packet())
            file->write_packet(packet);
        expected += expected_image("P6", width, 2, 12);
    }
    file->close();
    EXPECT_EQ(expected, test::read_file(path));
}
