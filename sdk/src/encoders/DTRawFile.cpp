#include "encoders/DTRawFile.h"

#include <cerrno>
#include <cstdio>

namespace kestrel {

raw_file_impl::raw_file_impl(const std::string& path) : file_(open_file(path, "wb")) {
    if (!file_)
        KESTREL_THROW(errors::create_file() << errinfo_errno(errno));
}

raw_file_impl::raw_file_impl(const char* path) : raw_file_impl(std::string(path ? path : "")) {}

void raw_file_impl::write_packet(media_packet_ptr packet) {
    if (!file_)
        KESTREL_THROW(errors::unexpected());
    if (!packet || packet->size() <= 0)
        return;
    if (std::fwrite(packet->data(), static_cast<size_t>(packet->size()), 1, file_.get()) != 1)
        KESTREL_THROW(errors::unexpected()
                      << errinfo_api_function("fwrite") << errinfo_errno(errno));
}

void raw_file_impl::close() {
    if (!file_)
        return;
    const int flushed = std::fflush(file_.get());
    const int error = errno;
    file_.reset();
    if (flushed != 0)
        KESTREL_THROW(errors::unexpected()
                      << errinfo_api_function("fflush") << errinfo_errno(error));
}

} // namespace kestrel
