#include "encoders/DTPPMEncoder.h"

#include "base/DTNumberText.h"

#include <cstring>
#include <string>

namespace kestrel {

namespace {

unsigned int registrations = 0;
const encoder_registration<video_encoder_factory> registration(registrations, "ppm",
                                                               create_ppm_encoder);

const int bytes_per_pixel = 3;

// The bytes read from the picture's first plane must lie inside it: rows of
// `width` pixels, `line_size` apart, `height` of them.
bool fits(const video_data& picture, int width, int height, int line_size) {
    if (width < 0 || height < 0 || line_size < 0 || !picture.data())
        return false;
    if (width == 0 || height == 0)
        return true;
    const long long row = static_cast<long long>(width) * bytes_per_pixel;
    const long long plane = static_cast<long long>(picture.line_size(0)) * picture.height();
    return line_size >= row && height <= picture.height() &&
           static_cast<long long>(height - 1) * line_size + row <= plane;
}

} // namespace

ppm_encoder_impl::ppm_encoder_impl(media_settings_ptr settings) {
    if (!settings)
        return;
    format_ = settings->get<int>("format", format_);
    width_ = settings->get<int>("width", width_);
    height_ = settings->get<int>("height", height_);
    line_size_ = settings->get<int>("line_size", line_size_);
}

void ppm_encoder_impl::send(const video_data* picture) {
    if (!picture)
        return;
    const int width = width_ ? width_ : picture->width();
    const int height = height_ ? height_ : picture->height();
    const int line_size = line_size_ ? line_size_ : picture->line_size(0);
    if (!fits(*picture, width, height, line_size))
        KESTREL_THROW(video_encoder_queue::error("invalid video format"));

    const std::string header = "P" + text::to_text(format_) + "\n" + text::to_text(width) + " " +
                               text::to_text(height) + "\n255\n";
    const std::size_t row = static_cast<std::size_t>(width) * bytes_per_pixel;
    const std::size_t total = header.size() + row * static_cast<std::size_t>(height);
    if (image_.size() < total)
        image_.resize(total);
    std::memcpy(image_.data(), header.data(), header.size());
    for (int r = 0; r < height; ++r)
        std::memcpy(image_.data() + header.size() + r * row,
                    picture->data() + static_cast<std::size_t>(r) * line_size, row);

    // The packet takes a copy: the image buffer is rebuilt for the next one.
    auto packet = boost::make_shared<common_media_packet2>();
    packet->properties()->set_data(image_.data(), total, dt_buffer_copy);
    packet->properties()->set_media_type(dt_media_type_video);
    packets_.push(packet);
}

video_encoder_queue::Impl* create_ppm_encoder(media_settings_ptr settings) {
    return new ppm_encoder_impl(settings);
}

} // namespace kestrel
