#include "DTKenBurnsRegistry.h"

#include "base/DTErrors.h"

#include <boost/bind/bind.hpp>
#include <boost/throw_exception.hpp>

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace kestrel {
namespace slideshow2 {

namespace {

template <class Motion>
ken_burns_impl* make_motion() {
    return new Motion();
}

template <class Motion>
ken_burns_impl* make_zoom_motion(double zoom) {
    return new Motion(zoom);
}

template <class Motion>
ken_burns_impl* make_portrait_motion(double zoom, double top, double bottom) {
    return new Motion(zoom, top, bottom);
}

// The motions' parameters: photos start 10 % larger than the fill size.
const double zoom = 1.1;

struct registry_rows {
    ken_burns_entry rows[ken_burns_registry_size];

    registry_rows()
        : rows{
              landscape("ls_lr_out", &make_zoom_motion<ken_burns_landscape_lr_zoom_out>),
              landscape("ls_rl_out", &make_zoom_motion<ken_burns_landscape_rl_zoom_out>),
              landscape("ls_tb_out", &make_zoom_motion<ken_burns_landscape_tb_zoom_out>),
              landscape("ls_bt_out", &make_zoom_motion<ken_burns_landscape_bt_zoom_out>),
              landscape("ls_center_out", &make_zoom_motion<ken_burns_landscape_center_zoom_out>),
              landscape("ls_diag_tl_out", &make_zoom_motion<ken_burns_landscape_diag_tl_zoom_out>),
              landscape("ls_diag_tr_out", &make_zoom_motion<ken_burns_landscape_diag_tr_zoom_out>),
              landscape("ls_diag_bl_out", &make_zoom_motion<ken_burns_landscape_diag_bl_zoom_out>),
              landscape("ls_diag_br_out", &make_zoom_motion<ken_burns_landscape_diag_br_zoom_out>),
              portrait("pt_tb_out_1",
                       &make_portrait_motion<ken_burns_portrait_top_bottom_zoom_out>, 0.1, 0.3),
              portrait("pt_bt_out_1",
                       &make_portrait_motion<ken_burns_portrait_bottom_top_zoom_out>, 0.1, 0.3),
              portrait("pt_bt_out_2",
                       &make_portrait_motion<ken_burns_portrait_bottom_top_zoom_out>, 0.15, 0.35),
              {"static", ken_burns_kind_landscape, &make_motion<ken_burns_static>},
          } {}

    static ken_burns_entry landscape(const char* name, ken_burns_impl* (*make)(double)) {
        return {name, ken_burns_kind_landscape, boost::bind(make, zoom)};
    }

    static ken_burns_entry portrait(const char* name,
                                    ken_burns_impl* (*make)(double, double, double), double top,
                                    double bottom) {
        return {name, ken_burns_kind_portrait, boost::bind(make, zoom, top, bottom)};
    }
};

ken_burns_ptr made_for(const ken_burns_entry& row, int frame_width, int frame_height,
                       int image_width, int image_height) {
    ken_burns_impl* motion = row.factory();
    ken_burns_ptr owned(motion);
    motion->frame_width = frame_width;
    motion->frame_height = frame_height;
    motion->image_width = image_width;
    motion->image_height = image_height;
    return owned;
}

// One of `count` by one draw; the generator's 64 bits make the slant of
// the remainder far too small to see.
std::size_t drawn_below(std::size_t count, ken_burns_draw& draw) {
    return static_cast<std::size_t>(draw() % count);
}

} // namespace

const ken_burns_entry* ken_burns_registry() {
    static const registry_rows registry;
    return registry.rows;
}

ken_burns_ptr create_ken_burns(int frame_width, int frame_height, int image_width,
                               int image_height, const std::string& name) {
    const ken_burns_entry* rows = ken_burns_registry();
    for (std::size_t i = 0; i < ken_burns_registry_size; ++i) {
        if (rows[i].name == name)
            return made_for(rows[i], frame_width, frame_height, image_width, image_height);
    }
    BOOST_THROW_EXCEPTION(std::runtime_error("effect not found"));
}

ken_burns_draw ken_burns_draw_for(const std::string& photo_path) {
    const std::size_t last_slash = photo_path.rfind('/');
    const std::size_t name_start = last_slash == std::string::npos ? 0 : last_slash + 1;
    // FNV-1a: the same seed for the same bytes on every machine.
    std::uint64_t seed = 14695981039346656037ull;
    for (std::size_t i = name_start; i < photo_path.size(); ++i) {
        seed ^= static_cast<unsigned char>(photo_path[i]);
        seed *= 1099511628211ull;
    }
    return ken_burns_draw(seed);
}

std::string random_ken_burns_name(int kind, ken_burns_draw& draw) {
    if (kind != ken_burns_kind_landscape && kind != ken_burns_kind_portrait)
        KESTREL_THROW(errors::invalid_argument());
    const ken_burns_entry* rows = ken_burns_registry();
    std::vector<const ken_burns_entry*> named;
    for (std::size_t i = 0; i < ken_burns_registry_size; ++i) {
        if (rows[i].kind == kind && rows[i].name != "static")
            named.push_back(&rows[i]);
    }
    return named[drawn_below(named.size(), draw)]->name;
}

ken_burns_ptr random_ken_burns(int frame_width, int frame_height, int image_width,
                               int image_height, ken_burns_draw& draw) {
    return made_for(ken_burns_registry()[drawn_below(ken_burns_registry_size, draw)], frame_width, frame_height,
                    image_width, image_height);
}

} // namespace slideshow2
} // namespace kestrel
