#include "encoders/DTMediaMuxer.h"

#include "base/DTLog.h"
#include "encoders/DTRawFile.h"
#include "ffmpeg/DTFFBridge.h"

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/split.hpp>
#include <boost/make_shared.hpp>

namespace kestrel {

media_muxer::Impl::~Impl() = default;

void media_muxer::Impl::write_packet(media_packet_ptr packet, int) { write_packet(packet); }

media_muxer::~media_muxer() {
    try {
        close();
    } catch (...) {
        log_line(logger::error()) << "[media_muxer::~media_muxer] close failed" << std::endl;
    }
}

media_muxer_ptr media_muxer_creator::create(const std::string& format, const std::string& path,
                                            std::vector<void*> codecs) {
    std::vector<std::string> parts;
    boost::algorithm::split(parts, format, boost::algorithm::is_any_of("/"));
    if (parts.size() >= 2 && parts[0] == "kestrel" && parts[1] == "ppm")
        return boost::make_shared<raw_file>(path);
    if (parts.size() >= 2 && parts[0] == "ffmpeg")
        return create_ff_media_muxer(parts[1], path, codecs);
    KESTREL_THROW(errors::invalid_operation());
}

media_muxer_ptr media_muxer_creator::create(const std::string& format, const std::string& path) {
    return create(format, path, std::vector<void*>());
}

} // namespace kestrel
