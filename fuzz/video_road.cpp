// A video file opened as an audio/video source on hostile bytes: every
// picture and all the sound read, then a seek into the middle and a little
// more of both. Failures must be the library's exceptions.

#include "sources/DTAVVideoFile.h"

#include "support/FuzzInput.h"

#include <exception>

using namespace kestrel;

namespace {
const int most_pictures = 300;
const int most_blocks = 300;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = fuzz::as_file(data, size);
    try {
        av_source_ptr file = create_av_video_file(path.c_str());
        for (int pass = 0; pass < 2; ++pass) {
            if (video_source* video = file->video())
                for (int i = 0; i < most_pictures && video->read(); ++i) {
                }
            if (audio_source* audio = file->audio())
                for (int i = 0; i < most_blocks && audio->read(100.0); ++i) {
                }
            const double middle = file->video() ? file->video()->duration() / 2 : 0.0;
            file->seek(middle);
        }
    } catch (const std::exception&) {
        // A refused or damaged file: the error is the expected answer.
    }
    return 0;
}
