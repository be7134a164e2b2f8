#pragma once
// A picture with whatever size, layout and byte count a test needs, over
// bytes of its own (all 0xff): the pictures the engine should never hand
// the Qt side, and the adapter must refuse.

#include "media/DTVideoData.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Multimedia {
namespace test {

class OddPicture : public kestrel::video_data {
public:
    OddPicture(int width, int height, kestrel::dt_pixel_format_t format, int lineSize, std::size_t byteCount)
        : kestrel::video_data(new Fields(width, height, format, lineSize, byteCount))
    {
    }

private:
    struct Fields : kestrel::video_data::Impl {
        Fields(int w, int h, kestrel::dt_pixel_format_t f, int l, std::size_t byteCount)
            : w(w), h(h), f(f), l(l), bytes(byteCount, 0xff)
        {
        }
        int width() const override { return w; }
        int height() const override { return h; }
        kestrel::dt_pixel_format_t pixel_format() const override { return f; }
        uint8_t* data() const override { return bytes.empty() ? nullptr : const_cast<uint8_t*>(bytes.data()); }
        int size() const override { return static_cast<int>(bytes.size()); }
        int planes_count() const override { return 1; }
        uint8_t* plane_data(int) const override { return data(); }
        int line_size(int) const override { return l; }
        int w, h;
        kestrel::dt_pixel_format_t f;
        int l;
        std::vector<uint8_t> bytes;
    };
};

} // namespace test
} // namespace Multimedia
