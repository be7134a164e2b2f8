#pragma once
// The library's video road for tests, in the order the producer follows:
// encoder made, muxer made (which may ask the encoder for global headers),
// encoder opened, muxer opened; then synthetic RGB pictures are converted
// to the encoder's YUV, encoded at 25 frames per second and written to
// stream 0. Codec contexts of further encoders (sound) may follow the
// video one; their packets are the caller's to write.

#include "encoders/DTMediaMuxer.h"
#include "encoders/DTVideoEncoderQueue.h"
#include "media/DTMediaSettings.h"
#include "media/DTPictureConvert.h"

#include <string>
#include <vector>

namespace kestrel {
namespace test {

// "video-codec", "width", "height" and "video-frame-rate" 25.
media_settings_ptr video_settings(const std::string& codec, int width, int height);

class video_pipeline {
public:
    video_pipeline(const std::string& format, const std::string& path, media_settings_ptr settings,
                   const std::vector<void*>& more_codecs = std::vector<void*>());

    // The encoder, then the muxer.
    void open();
    // The next `count` pictures, each written as soon as it is encoded.
    void encode(int count);
    // Drains the encoder into the file and closes the muxer.
    void finish();

    const video_encoder_queue_ptr& encoder() const { return encoder_; }
    const media_muxer_ptr& muxer() const { return muxer_; }

private:
    void write_ready_packets();

    media_settings_ptr settings_;
    video_encoder_queue_ptr encoder_;
    media_muxer_ptr muxer_;
    picture_convert_ptr convert_;
    int frames_sent_ = 0;
};

// Makes a file of `frames` pictures from beginning to end.
void encode_video_file(const std::string& format, const std::string& path,
                       media_settings_ptr settings, int frames);

} // namespace test
} // namespace kestrel
