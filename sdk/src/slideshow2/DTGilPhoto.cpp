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

void gil_photo_impl::rotate(int code) {
    {
        boost::mutex::scoped_lock lock(mutex_);
        const int turns =
            image::rotation_to_quarter_turns(code) + image::rotation_to_quarter_turns(desc_.transform.rotate);
        image::photo_desc turned = desc_;
        turned.transform.rotate = image::quarter_turns_to_rotation(turns);
        image::gil::set_photo_desc(file_, turned);
        desc_ = turned;
    }
    reload();
}

void gil_photo_impl::do_load(unsigned int side, double filter, bool fit_height) {
    boost::mutex::scoped_lock lock(mutex_);
    auto image = boost::make_shared<boost::gil::rgb8_image_t>();
    image::gil::scale_photo(file_, *image, side, filter, fit_height);
    image_ = image;
    picture_ = boost::make_shared<image::gil::video_data_gil_no_copy>(image_);
}

gil_photo::gil_photo(const std::string& path, bool correct_orientation)
    : photo(new gil_photo_impl(path, correct_orientation)) {}

} // namespace slideshow2
} // namespace kestrel
