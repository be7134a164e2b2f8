#include "DTGilPhoto.h"

#include "image/DTPhotoScale.h"
#include "image/DTVideoDataGil.h"

#include <boost/gil/image.hpp>
#include <boost/make_shared.hpp>

namespace kestrel {
namespace slideshow2 {

gil_photo_impl::gil_photo_impl() = default;

gil_photo_impl::gil_photo_impl(const std::string& path, bool correct_orientation) {
    desc_.url = path;
    desc_.transform.rotate = image::rotate_none;
    desc_.transform.correct_orientantion = correct_orientation;
    image::gil::set_photo_desc(file_, desc_);
}

image::photo_desc gil_photo_impl::desc() const {
    boost::mutex::scoped_lock lock(mutex_);
    return desc_;
}

unsigned int gil_photo_impl::width() const {
    boost::mutex::scoped_lock lock(mutex_);
    return image::gil::photo_file_width(file_);
}

unsigned int gil_photo_impl::height() const {
    boost::mutex::scoped_lock lock(mutex_);
    return image::gil::photo_file_height(file_);
}

video_data_ptr gil_photo_impl::picture() const {
    boost::mutex::scoped_lock lock(mutex_);
    return picture_;
}

std::string gil_photo_impl::damage() const {
    boost::mutex::scoped_lock lock(mutex_);
    return file_.damage();
}

gil_photo_impl::record gil_photo_impl::copy() const {
    boost::mutex::scoped_lock lock(mutex_);
    return record{file_, desc_, turns_};
}

void gil_photo_impl::rotate(int code) {
    for (;;) {
        record turned = copy();
        turned.desc.transform.rotate = image::quarter_turns_to_rotation(
            image::rotation_to_quarter_turns(code) + image::rotation_to_quarter_turns(turned.desc.transform.rotate));
        image::gil::set_photo_desc(turned.file, turned.desc);
        boost::mutex::scoped_lock lock(mutex_);
        if (turns_ == turned.turns) {
            file_ = turned.file;
            desc_ = turned.desc;
            ++turns_;
            break;
        }
    }
    reload();
}

void gil_photo_impl::do_load(unsigned int side, double filter, bool fit_height) {
    for (;;) {
        record loaded = copy();
        auto image = boost::make_shared<boost::gil::rgb8_image_t>();
        image::gil::scale_photo(loaded.file, *image, side, filter, fit_height);
        boost::mutex::scoped_lock lock(mutex_);
        if (turns_ == loaded.turns) {
            file_ = loaded.file;
            image_ = image;
            picture_ = boost::make_shared<image::gil::video_data_gil_no_copy>(image_);
            break;
        }
    }
}

gil_photo::gil_photo(const std::string& path, bool correct_orientation)
    : photo(new gil_photo_impl(path, correct_orientation)) {}

} // namespace slideshow2
} // namespace kestrel
