#pragma once
// How large the renderer's cache decodes a photo: as large as its slide's
// Ken Burns motion ever shows it on the frame, so that no frame enlarges
// the decoded picture, but never larger than the photo itself, and never
// beyond the scaler's limit of pixels. A panorama filling a frame's height
// thus keeps every line the frame can show, however wide it is.

#include <string>

namespace kestrel {
namespace slideshow2 {

// The length of the decoded picture's longer side, for a photo shown
// photo_width x photo_height (turned as drawn) on a frame_width x
// frame_height frame by the motion `effect`. The slide's progress runs from
// -progress_margin to 1 + progress_margin (its transitions), and the motion
// goes on along its line there. 0 for a frame or photo without pixels.
// Throws std::runtime_error "effect not found" for an unknown motion.
unsigned motion_decode_side(int frame_width, int frame_height, unsigned photo_width, unsigned photo_height,
                            const std::string& effect, double progress_margin, unsigned long long max_pixels);

} // namespace slideshow2
} // namespace kestrel
