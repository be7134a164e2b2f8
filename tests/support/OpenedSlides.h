#pragma once
// Real slides for tests and benchmarks: each photo opened on a new slide
// appended to the show, through a photo manager as the storyboard opens
// them. Nothing here uses GoogleTest: the benchmarks build it too.

#include "slideshow2/DTSlideshow.h"

#include <cstddef>
#include <string>
#include <vector>

namespace kestrel {
namespace test {

// The slide-properties text of a slide that plays `motion` whatever the
// photo's orientation, unturned.
std::string motion_properties(const std::string& motion);

// Appends a slide per path and opens its photo (thumbnails 64 pixels on the
// longer side); `motion` empty lets each slide draw its own motions.
// Returns once every open has answered: how many slides have their photo.
// Throws std::runtime_error when the answers do not come within a minute.
std::size_t open_slides(slideshow2::slideshow::Impl& show, const std::vector<std::string>& paths,
                        const std::string& motion = std::string());

} // namespace test
} // namespace kestrel
