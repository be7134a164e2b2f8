#pragma once
// One picture of a frame under a transform that neither turns nor shears
// (the Ken Burns motions), and the sweep that adds several such pictures
// to frame rows together. Part of the frame composer (DTComposePicture.h):
// a picture added onto black is within 1 of the plain sampler, a picture
// added onto another exactly as the sampler adds it.

#include "DTComposeArithmetic.h"
#include "DTComposePicture.h"

#include <algorithm>

#include <memory>
#include <vector>

namespace kestrel {
namespace slideshow2 {
namespace composition {

// One picture under a transform that neither turns nor shears (the Ken
// Burns motions): the picture column depends on the frame column alone and
// the picture row on the frame row alone, so both are worked out once per
// frame. Each picture row a frame row needs is resampled across once; a
// frame row's contribution is then the blend of two such rows.
class separable_layer {
public:
    separable_layer(const boost::gil::rgb8_view_t& frame, const picture_layer& layer,
                    const affine_transform& inv)
        : picture_(layer.picture), weight_(layer.weight) {
        for (std::ptrdiff_t x = 0; x < frame.width(); ++x) {
            const sample_step column = step_at(map_u(inv, static_cast<double>(x), 0.0), picture_.width());
            if (!column.inside)
                continue;
            if (columns_.empty())
                first_x_ = static_cast<int>(x);
            else if (x != first_x_ + static_cast<std::ptrdiff_t>(columns_.size()))
                gaps_ = true;
            first_source_ = std::min(first_source_, column.first);
            last_source_ = std::max(last_source_, column.next);
            columns_.push_back(column);
        }
        // In the widened picture row: offsets of the two neighbours and
        // their weights.
        for (const sample_step& column : columns_)
            taps_.push_back(column_taps{3 * (column.first - first_source_), 3 * (column.next - first_source_),
                                        1.0f - column.fraction, column.fraction});
        for (std::ptrdiff_t y = 0; y < frame.height(); ++y)
            rows_.push_back(step_at(map_v(inv, 0.0, static_cast<double>(y)), picture_.height()));
    }

    // The covered columns lie side by side, as they do for any finite
    // transform; false sends the picture to the pixel-by-pixel pass.
    bool usable() const { return !gaps_; }

    // What a worker keeps between frame rows: the last two resampled rows.
    struct rows_held {
        int row[2] = {-1, -1};
        std::vector<float> values[2];
        int turn = 0;
        std::vector<float> widened;
    };

    bool covers_row(int y) const { return rows_[y].inside && !columns_.empty(); }
    // The covered channels of a frame row: [first_channel, end_channel).
    std::size_t first_channel() const { return 3 * static_cast<std::size_t>(first_x_); }
    std::size_t end_channel() const { return first_channel() + 3 * columns_.size(); }

    // Adds this picture to a frame row it covers. `levels` holds the row so
    // far (three floats a pixel, whole numbers); onto black it is not read.
    // The result replaces `levels`, or, with `out` given, goes straight to
    // the frame row's bytes and `levels` is left as it was. Onto black in
    // plain float; onto a picture exactly as the sampler adds.
    void add_to_row(int y, float* levels, uint8_t* out, bool onto_black, rows_held& held,
                    std::vector<float>& before, std::vector<std::size_t>& near) const {
        const sample_step& row = rows_[y];
        const float* upper = resampled(held, row.first);
        const float* lower = resampled(held, row.next);
        const float weight = static_cast<float>(weight_);
        const float fy = row.fraction * weight, gy = (1.0f - row.fraction) * weight;
        const std::size_t channels = 3 * columns_.size();
        float* covered = levels + first_channel();
        uint8_t* bytes = out ? out + first_channel() : nullptr;
        const float* was = covered; // the levels before this picture
        if (!onto_black && !bytes) {
            before.assign(covered, covered + channels);
            was = before.data();
        }
        near.clear(); // pixels whose result lies near a step
        std::size_t i = 0;
        for (; i + 4 <= channels; i += 4) {
            const float4 contribution = floats_at(upper + i) * gy + floats_at(lower + i) * fy;
            float4 result = contribution;
            if (!onto_black) {
                result += floats_at(was + i);
                const int lanes = near_steps(result, contribution);
                for (int lane = 0; lanes != 0 && lane < 4; ++lane)
                    if ((lanes >> lane) & 1)
                        near.push_back((i + lane) / 3);
            }
            if (bytes)
                store_bytes(bytes + i, levels_of(result));
            else
                store_floats(covered + i, levels_of(result));
        }
        for (; i < channels; ++i) { // the last pixel or two
            const float contribution = upper[i] * gy + lower[i] * fy;
            const float result = onto_black ? contribution : was[i] + contribution;
            if (!onto_black && (near_steps(float4{result, 0, 0, 0}, float4{contribution, 0, 0, 0}) & 1) != 0)
                near.push_back(i / 3);
            const float level = image::clamp_channel(result);
            if (bytes)
                bytes[i] = static_cast<uint8_t>(level);
            else
                covered[i] = level;
        }
        add_exactly(near, row, was, covered, bytes);
    }

private:
    // The listed pixels (in order, perhaps twice) again by the sampler
    // itself, from the levels they had before.
    void add_exactly(const std::vector<std::size_t>& pixels, const sample_step& row, const float* was,
                     float* covered, uint8_t* bytes) const {
        for (const std::size_t p : pixels) {
            const std::size_t i = 3 * p;
            boost::gil::rgb8_pixel_t pixel(static_cast<uint8_t>(was[i]), static_cast<uint8_t>(was[i + 1]),
                                           static_cast<uint8_t>(was[i + 2]));
            image::gil::sample_bilinear_weighted(picture_, columns_[p].at, row.at, pixel, weight_);
            for (int c = 0; c < 3; ++c) {
                if (bytes)
                    bytes[i + c] = pixel[c];
                else
                    covered[i + c] = pixel[c];
            }
        }
    }

    const float* resampled(rows_held& held, int row) const {
        for (int k = 0; k < 2; ++k)
            if (held.row[k] == row)
                return held.values[k].data();
        const int k = held.turn;
        held.turn ^= 1;
        held.row[k] = row;
        const std::size_t source_channels = static_cast<std::size_t>(last_source_ - first_source_ + 1) * 3;
        held.widened.resize(source_channels + 1);
        to_floats(picture_row(picture_, row) + 3 * first_source_, source_channels, held.widened.data());
        held.widened[source_channels] = 0.0f;
        // Three floats a frame pixel and slack for loads of four at the end.
        held.values[k].resize(3 * columns_.size() + 4);
        float* out = held.values[k].data();
        const float* widened = held.widened.data();
        for (const column_taps& taps : taps_) {
            store_floats(out, floats_at(widened + taps.left) * taps.left_weight +
                                  floats_at(widened + taps.right) * taps.right_weight);
            out += 3; // the fourth float is the next pixel's, written next
        }
        return held.values[k].data();
    }

    const boost::gil::rgb8c_view_t picture_;
    const double weight_;
    struct column_taps {
        int left, right;
        float left_weight, right_weight;
    };

    // The covered columns, from first_x_ on.
    std::vector<sample_step> columns_;
    std::vector<column_taps> taps_;
    int first_x_ = 0;
    bool gaps_ = false;
    std::vector<sample_step> rows_;
    int first_source_ = 1 << 30, last_source_ = -1;
};

// Frame rows [first, last): the layers added in turn, onto black or onto
// what the rows hold. Any thread; rows of one frame may be drawn at once
// on several.
void draw_separable_rows(const boost::gil::rgb8_view_t& frame,
                         const std::vector<std::unique_ptr<separable_layer>>& layers, bool onto_black, int first,
                         int last);

} // namespace composition
} // namespace slideshow2
} // namespace kestrel
