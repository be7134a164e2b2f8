#include "encoders/DTEncoderFactory.h"

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/split.hpp>

#include <vector>

namespace kestrel {

bool encoder_short_name(const std::string& family, std::string& short_name) {
    std::vector<std::string> parts;
    boost::algorithm::split(parts, family, boost::algorithm::is_any_of("/"));
    if (parts.size() < 2 || parts[0] != "kestrel")
        return false;
    short_name = parts[1];
    return true;
}

} // namespace kestrel
