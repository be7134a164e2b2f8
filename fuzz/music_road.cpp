// The music road on hostile bytes: the file opened as a music track
// (demultiplexer, decoder, conversion to the track format), read to its end,
// sought back and read again. Failures must be the library's exceptions.

#include "audio/DTAudioTrackFile.h"

#include "support/FuzzInput.h"

#include <exception>

using namespace kestrel;

namespace {
// Enough reads for two minutes of sound; a file that plays longer is cut.
const int most_reads = 1200;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = fuzz::as_file(data, size);
    try {
        audio_track_ptr track = create_audio_track_file(path, nullptr, false);
        for (int pass = 0; pass < 2; ++pass) {
            for (int read = 0; read < most_reads && track->read(100.0); ++read) {
            }
            track->seek(track->duration() / 3);
        }
    } catch (const std::exception&) {
        // A refused or damaged file: the error is the expected answer.
    }
    return 0;
}
