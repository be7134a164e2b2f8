// The slideshow's settings map on hostile text: a renderer-backed slideshow
// of a few slides without photos, with an hour of silence as its music,
// takes "key=value" lines as its settings; then its faded sound is read at
// the start and around the fade at the end, and a frame is rendered when
// the frame is small. The input's first byte is the slide count (mod 8).
// Refusals must be the settings' own error (boost::bad_lexical_cast) or
// the library's; the rest must hold whatever values were taken.

#include "audio/DTAudioTrackEmpty.h"
#include "base/DTErrors.h"
#include "slideshow2/DTGilSlideshow.h"

#include "support/FuzzInput.h"

#include <boost/lexical_cast/bad_lexical_cast.hpp>

#include <cmath>
#include <exception>
#include <string>

using namespace kestrel;

namespace {

const double music_ms = 3600 * 1000.0;
const int most_blocks = 40;
// Frames larger than this are not rendered: a height from the map may ask
// for a hundred megapixels, which says nothing more than a small one.
const long long most_frame_pixels = 640 * 480;

// "key=value" per line; a line without "=" is a key with an empty value.
media_settings_ptr settings_from(const std::string& text) {
    const media_settings_ptr settings = media_settings::create();
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        const std::size_t equals = line.find('=');
        settings->set(line.substr(0, equals), equals == std::string::npos ? std::string() : line.substr(equals + 1));
        start = end + 1;
    }
    return settings;
}

void read_sound(audio_source& sound) {
    for (int i = 0; i < most_blocks && sound.read(100.0); ++i) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::input_reader input(data, size);
    const unsigned slides = input.byte() % 8;
    const uint8_t* text = nullptr;
    const std::size_t length = input.take(size, text);
    const media_settings_ptr settings = settings_from(std::string(reinterpret_cast<const char*>(text), length));

    const slideshow2::slideshow_ptr show = slideshow2::create_gil_slideshow();
    for (unsigned i = 0; i < slides; ++i)
        show->add_slide();
    show->set_audio_track(audio_track_empty::create(nullptr, music_ms));
    try {
        show->apply_settings(settings);
    } catch (const boost::bad_lexical_cast&) {
        // Refused: the keys before the bad one stay applied.
    } catch (const errors::dt_error&) {
    }
    try {
        const av_source_ptr source = show->av_source();
        audio_source* sound = source->audio();
        read_sound(*sound);
        const double length_ms = sound->duration();
        if (std::isfinite(length_ms)) {
            source->seek(length_ms - 3000.0); // the fade
            read_sound(*sound);
        }
        const video_format_ptr format = source->video()->format();
        if (format && static_cast<long long>(format->width()) * format->height() <= most_frame_pixels) {
            source->seek(0.0);
            source->video()->read();
        }
    } catch (const std::exception&) {
        // The library's refusal of what the settings made: an answer too.
    }
    return 0;
}
