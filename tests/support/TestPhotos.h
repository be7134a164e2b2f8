#pragma once
// A camera-sized photo for tests that need one: 4000 x 3000 pixels of the
// gradient painter, tagged with an EXIF orientation. Written once per test
// program and orientation, into a scratch folder removed at exit.

#include <string>

namespace kestrel {
namespace test {

const std::string& camera_photo(int orientation);

} // namespace test
} // namespace kestrel
