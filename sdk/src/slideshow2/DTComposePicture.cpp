#include "DTComposePicture.h"

#include "DTComposeArithmetic.h"
#include "DTRowWorkers.h"
#include "DTSeparableLayer.h"
#include "image/DTImageSampling.h"

#include <memory>

namespace kestrel {
namespace slideshow2 {

using namespace composition;

namespace {

// Any other transform: each pixel maps on its own; onto black within 1,
// onto a picture exactly as the sampler adds.
void draw_rows_general(const boost::gil::rgb8_view_t& frame, const picture_layer& layer,
                       const affine_transform& inv, bool onto_black, int first, int last) {
    const boost::gil::rgb8c_view_t& picture = layer.picture;
    const float w = static_cast<float>(layer.weight);
    for (int y = first; y < last; ++y) {
        uint8_t* out = frame_row(frame, y);
        if (onto_black)
            std::memset(out, 0, static_cast<std::size_t>(frame.width()) * 3);
        for (std::ptrdiff_t x = 0; x < frame.width(); ++x) {
            const double u = map_u(inv, static_cast<double>(x), static_cast<double>(y));
            const double v = map_v(inv, static_cast<double>(x), static_cast<double>(y));
            const sample_step column = step_at(u, picture.width());
            const sample_step row = step_at(v, picture.height());
            if (!column.inside || !row.inside)
                continue;
            const uint8_t* upper = picture_row(picture, row.first);
            const uint8_t* lower = picture_row(picture, row.next);
            const float fx = column.fraction, gx = 1.0f - column.fraction;
            const float4 top =
                bytes_to_float4(upper + 3 * column.first) * gx + bytes_to_float4(upper + 3 * column.next) * fx;
            const float4 bottom =
                bytes_to_float4(lower + 3 * column.first) * gx + bytes_to_float4(lower + 3 * column.next) * fx;
            const float4 contribution = (top * (1.0f - row.fraction) + bottom * row.fraction) * w;
            uint8_t* pixel = out + 3 * x;
            if (onto_black) {
                image::gil::store_pixel(contribution, pixel);
                continue;
            }
            const float4 result = bytes_to_float4(pixel) + contribution;
            if ((near_steps(result, contribution) & 7) != 0)
                image::gil::sample_bilinear_weighted(picture, u, v, frame(x, y), layer.weight);
            else
                image::gil::store_pixel(result, pixel);
        }
    }
}

void run_rows(const boost::gil::rgb8_view_t& frame, row_workers* workers, const row_workers::row_job& job) {
    const int rows = static_cast<int>(frame.height());
    if (workers)
        workers->run(rows, job);
    else
        job(0, rows);
}

bool has_pixels(const boost::gil::rgb8c_view_t& picture) { return picture.width() > 0 && picture.height() > 0; }

} // namespace

affine_transform invert_transform(const affine_transform& m) {
    const double det = m.a * m.d - m.b * m.c;
    return affine_transform{m.d / det,
                            -m.b / det,
                            -m.c / det,
                            m.a / det,
                            (m.c * m.f - m.e * m.d) / det,
                            (m.b * m.e - m.a * m.f) / det};
}

void compose_picture_reference(const boost::gil::rgb8_view_t& frame,
                               const boost::gil::rgb8c_view_t& picture, const affine_transform& m,
                               double weight) {
    const affine_transform inv = invert_transform(m);
    for (std::ptrdiff_t y = 0; y < frame.height(); ++y) {
        for (std::ptrdiff_t x = 0; x < frame.width(); ++x) {
            const double u = map_u(inv, static_cast<double>(x), static_cast<double>(y));
            const double v = map_v(inv, static_cast<double>(x), static_cast<double>(y));
            image::gil::sample_bilinear_weighted(picture, u, v, frame(x, y), weight);
        }
    }
}

void fill_black(const boost::gil::rgb8_view_t& frame) {
    for (std::ptrdiff_t y = 0; y < frame.height(); ++y)
        std::memset(frame_row(frame, y), 0, static_cast<std::size_t>(frame.width()) * 3);
}

void compose_pictures(const boost::gil::rgb8_view_t& frame, const std::vector<picture_layer>& layers,
                      row_workers* workers, bool onto_black) {
    if (frame.width() <= 0 || frame.height() <= 0)
        return;
    // Pictures without pixels add nothing.
    std::vector<picture_layer> drawn;
    for (const picture_layer& layer : layers)
        if (has_pixels(layer.picture))
            drawn.push_back(layer);
    if (drawn.empty()) {
        if (onto_black)
            fill_black(frame);
        return;
    }
    // Together, row by row, when every picture suits the separable pass:
    // the float error bound holds for weights from 0 to 1 (all a show uses).
    std::vector<std::unique_ptr<separable_layer>> separable;
    for (const picture_layer& layer : drawn) {
        const affine_transform inv = invert_transform(layer.m);
        // b = c = 0: b*x and c*y are zeros and drop out of the mapping
        // without changing a bit of it.
        if (!(layer.weight >= 0.0 && layer.weight <= 1.0) || inv.b != 0.0 || inv.c != 0.0)
            break;
        separable.emplace_back(new separable_layer(frame, layer, inv));
        if (!separable.back()->usable())
            break;
    }
    if (separable.size() == drawn.size() && separable.back()->usable()) {
        run_rows(frame, workers, [&](int first, int last) {
            draw_separable_rows(frame, separable, onto_black, first, last);
        });
        return;
    }
    // Otherwise one picture after the other.
    for (std::size_t k = 0; k < drawn.size(); ++k) {
        const picture_layer& layer = drawn[k];
        const bool black = onto_black && k == 0;
        if (!(layer.weight >= 0.0 && layer.weight <= 1.0)) {
            if (black)
                fill_black(frame);
            compose_picture_reference(frame, layer.picture, layer.m, layer.weight);
            continue;
        }
        const affine_transform inv = invert_transform(layer.m);
        run_rows(frame, workers, [&](int first, int last) {
            draw_rows_general(frame, layer, inv, black, first, last);
        });
    }
}

void compose_picture(const boost::gil::rgb8_view_t& frame, const boost::gil::rgb8c_view_t& picture,
                     const affine_transform& m, double weight, row_workers* workers, bool onto_black) {
    compose_pictures(frame, std::vector<picture_layer>{picture_layer{picture, m, weight}}, workers, onto_black);
}

} // namespace slideshow2
} // namespace kestrel
