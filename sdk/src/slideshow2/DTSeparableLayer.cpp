#include "DTSeparableLayer.h"

#include "image/DTImageSampling.h"

#include <algorithm>

namespace kestrel {
namespace slideshow2 {
namespace composition {

namespace {

// Levels [from, to) of a row into its bytes.
void levels_to_bytes(const float* levels, uint8_t* out, std::size_t from, std::size_t to) {
    std::size_t i = from;
    for (; i + 4 <= to; i += 4)
        store_bytes(out + i, floats_at(levels + i));
    for (; i < to; ++i)
        out[i] = static_cast<uint8_t>(levels[i]);
}

} // namespace

// All layers separable: each frame row is worked out once, every layer
// added to it in turn; the last one that covers the row writes its bytes.
void draw_separable_rows(const boost::gil::rgb8_view_t& frame,
                         const std::vector<std::unique_ptr<separable_layer>>& layers, bool onto_black,
                         int first, int last) {
    const std::size_t channels = static_cast<std::size_t>(frame.width()) * 3;
    std::vector<float> levels(channels + 4), before;
    std::vector<separable_layer::rows_held> held(layers.size());
    std::vector<std::size_t> covering, near;
    for (int y = first; y < last; ++y) {
        uint8_t* out = frame_row(frame, y);
        covering.clear();
        for (std::size_t k = 0; k < layers.size(); ++k)
            if (layers[k]->covers_row(y))
                covering.push_back(k);
        if (covering.empty()) {
            if (onto_black)
                std::memset(out, 0, channels);
            continue;
        }
        const separable_layer& final_layer = *layers[covering.back()];
        const bool single_onto_black = onto_black && covering.size() == 1;
        if (!single_onto_black) {
            if (onto_black)
                std::fill(levels.begin(), levels.end(), 0.0f);
            else
                to_floats(out, channels, levels.data());
        }
        for (std::size_t n = 0; n < covering.size(); ++n) {
            const bool last_layer = n + 1 == covering.size();
            layers[covering[n]]->add_to_row(y, levels.data(), last_layer ? out : nullptr, onto_black && n == 0,
                                            held[covering[n]], before, near);
        }
        // Around the last layer's columns the row is what the others left.
        if (single_onto_black) {
            std::memset(out, 0, final_layer.first_channel());
            std::memset(out + final_layer.end_channel(), 0, channels - final_layer.end_channel());
        } else {
            levels_to_bytes(levels.data(), out, 0, final_layer.first_channel());
            levels_to_bytes(levels.data(), out, final_layer.end_channel(), channels);
        }
    }
}

} // namespace composition
} // namespace slideshow2
} // namespace kestrel
