#include "support/TestPhotos.h"

#include "support/TestFiles.h"
#include "support/TestJpeg.h"

#include <map>

namespace kestrel {
namespace test {

const std::string& camera_photo(int orientation) {
    static TempDir dir;
    static std::map<int, std::string> paths;
    auto found = paths.find(orientation);
    if (found != paths.end())
        return found->second;
    jpeg_options options;
    options.width = 4000;
    options.height = 3000;
    options.app_segments = {{1, exif_payload(orientation)}};
    const std::string path = dir.file("camera-" + std::to_string(orientation) + ".jpg");
    write_file(path, make_jpeg(options, gradient_painter(options.width, options.height)));
    return paths.emplace(orientation, path).first->second;
}

} // namespace test
} // namespace kestrel
