#include "DTCommonSlideshowSettings.h"

#include "base/DTErrors.h"
#include "base/DTLog.h"
#include "base/DTNumberText.h"
#include "ffmpeg/DTFFBridge.h"

#include <boost/algorithm/string/replace.hpp>
#include <boost/throw_exception.hpp>

#include <cmath>
#include <string>
#include <typeinfo>
#include <vector>

namespace kestrel {
namespace slideshow2 {

namespace {

// A real number; a decimal comma (written under a comma locale) is read
// as a point on the second try.
double real_value(const std::string& text) {
    try {
        return text::from_text<double>(text);
    } catch (const boost::bad_lexical_cast&) {
        return text::from_text<double>(boost::algorithm::replace_all_copy(text, ",", "."));
    }
}

// Longer than a day is no slide: beyond it the show's sample counts grow
// past what the sound's fade can count.
const double max_duration_seconds = 24 * 3600.0;

// A duration in seconds, as milliseconds. Not a number, infinite, negative
// or absurd values are refused as unreadable, before anything is stored.
double duration_ms(const std::string& text) {
    const double seconds = real_value(text);
    if (!(seconds >= 0.0 && seconds <= max_duration_seconds))
        BOOST_THROW_EXCEPTION(boost::bad_lexical_cast(typeid(std::string), typeid(double)));
    return seconds * 1000;
}

// "num/den", both whole numbers; nothing checks their values (16/0 stays).
dt_rational_t parse_aspect_str(const std::string& ratio) {
    std::vector<std::string> parts(1);
    for (char c : ratio) {
        if (c == '/')
            parts.emplace_back();
        else
            parts.back() += c;
    }
    if (parts.size() != 2)
        KESTREL_THROW(errors::invalid_operation());
    const int den = text::from_text<int>(parts[1]);
    const int num = text::from_text<int>(parts[0]);
    return dt_rational_t(num, den);
}

// A preset writes a ratio ("71/40"), the settings view a decimal number,
// which becomes the nearest fraction with terms up to 255.
dt_rational_t aspect_value(const std::string& text) {
    if (text.find('/') != std::string::npos)
        return parse_aspect_str(text);
    return ff_nearest_rational(real_value(text), 255);
}

enum hooks { video_format_hook = 1, timeline_hook = 2 };

typedef common_slideshow_settings_impl settings_impl;

// One recognised key: how its text is stored and which hooks follow, the
// video format's first.
struct setting_key {
    const char* name;
    void (*store)(settings_impl& target, const std::string& text);
    unsigned hooks;
};

const setting_key setting_keys[] = {
    {"video-frame-rate",
     [](settings_impl& s, const std::string& t) { s.video_frame_rate = real_value(t); },
     video_format_hook | timeline_hook},
    {"frame-aspect",
     [](settings_impl& s, const std::string& t) { s.frame_aspect = aspect_value(t); },
     video_format_hook},
    {"frame-height",
     [](settings_impl& s, const std::string& t) { s.frame_height = text::from_text<int>(t); },
     video_format_hook},
    {"slide-duration",
     [](settings_impl& s, const std::string& t) { s.slide_duration_ms = duration_ms(t); },
     timeline_hook},
    {"ken-burns",
     [](settings_impl& s, const std::string& t) { s.ken_burns_enabled = text::from_text<bool>(t); },
     timeline_hook},
    {"align-to-audio",
     [](settings_impl& s, const std::string& t) { s.align_to_audio = text::from_text<bool>(t); },
     timeline_hook},
    {"transition-duration",
     [](settings_impl& s, const std::string& t) { s.transition_duration_ms = duration_ms(t); },
     timeline_hook},
};

} // namespace

common_slideshow_settings_impl::common_slideshow_settings_impl(slide_factory_t factory)
    : common_slideshow_impl(std::move(factory)) {}

void common_slideshow_settings_impl::apply_settings(media_settings_ptr settings) {
    if (!settings)
        return;
    for (const setting_key& key : setting_keys) {
        if (!settings->contains(key.name))
            continue;
        log_line(logger::info()) << "[common_slideshow_settings_impl] " << key.name << std::endl;
        boost::mutex::scoped_lock lock(settings_mutex);
        key.store(*this, settings->get(key.name));
        if (key.hooks & video_format_hook)
            on_change_video_format();
        if (key.hooks & timeline_hook)
            on_change_timeline();
    }
}

} // namespace slideshow2
} // namespace kestrel
