#pragma once
// Output presets: one short name ("mac-medium", "iphone5", ...) stands for
// every settings entry that fixes an output file: the container, the video
// and audio codecs, the frame height and (for phones and tablets) the
// aspect, the frame rate, the audio bit rate and the video codec's options.
// Presets without an aspect leave "frame-aspect" as the caller had it.

#include "base/DTErrors.h"
#include "media/DTMediaSettings.h"

#include <string>
#include <vector>

namespace kestrel {
namespace slideshow2 {

// The name given is not a preset; what() is "invalid preset".
class error_invalid_preset : public virtual errors::dt_error {
public:
    error_invalid_preset() : errors::dt_error("invalid preset") {}
};

// Every preset name, in the order a name is looked up.
const std::vector<std::string>& preset_names();

// Writes the preset's entries into the map (which must not be null),
// replacing the values those keys had, and returns the same map. The name
// must match exactly, case and blanks included; any other name throws
// error_invalid_preset before anything is written.
media_settings_ptr apply_preset(const std::string& name, media_settings_ptr settings);

} // namespace slideshow2
} // namespace kestrel
