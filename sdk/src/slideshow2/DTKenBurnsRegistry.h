#pragma once
// The named Ken Burns motions: thirteen fixed rows, built once on first use
// and only read afterwards, so any thread may create motions without a
// lock. The renderer creates one motion per drawn slide per frame; a slide
// draws one landscape and one portrait name when its photo is opened.
//
// Errors: an unknown name throws std::runtime_error "effect not found"
// (names can come from stored slide properties).

#include "DTKenBurns.h"

#include <boost/function.hpp>
#include <boost/shared_ptr.hpp>

#include <cstddef>
#include <random>
#include <string>

namespace kestrel {
namespace slideshow2 {

enum ken_burns_kind { ken_burns_kind_landscape = 0, ken_burns_kind_portrait = 1 };

struct ken_burns_entry {
    std::string name;
    int kind;
    // A new motion with the row's parameters; the caller owns it.
    boost::function<ken_burns_impl*()> factory;
};

typedef boost::shared_ptr<ken_burns> ken_burns_ptr;

const std::size_t ken_burns_registry_size = 13;
// The rows in their fixed order; "static" is last.
const ken_burns_entry* ken_burns_registry();

// The first row named exactly `name` (case-sensitive), made for the sizes.
ken_burns_ptr create_ken_burns(int frame_width, int frame_height, int image_width,
                               int image_height, const std::string& name);

// The draws of one slide's motions: a generator of its own, seeded from
// the name of its photo's file (the path's last part, as bytes), so that a
// photo of one name draws the same motions in every show and every
// process, whatever else draws random numbers meanwhile. The standard fixes
// the generator's sequence, and each draw below takes one number of it.
typedef std::mt19937_64 ken_burns_draw;
ken_burns_draw ken_burns_draw_for(const std::string& photo_path);

// A name drawn uniformly among the rows of the kind, never "static".
// Kinds other than landscape and portrait throw errors::invalid_argument.
std::string random_ken_burns_name(int kind, ken_burns_draw& draw);

// Any row, "static" included.
ken_burns_ptr random_ken_burns(int frame_width, int frame_height, int image_width,
                               int image_height, ken_burns_draw& draw);

} // namespace slideshow2
} // namespace kestrel
