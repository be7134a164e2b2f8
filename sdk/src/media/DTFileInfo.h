#pragma once
// Description of an opened media file as a whole. File-level times count in
// microseconds (time_base() is always 1/1000000).

#include "base/DTBase.h"
#include "base/DTTypes.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <map>
#include <string>

namespace kestrel {

class file_info_general : public facade<file_info_general> {
public:
    typedef std::map<std::string, std::string> metadata_map;

    class Impl : public impl_base {
    public:
        ~Impl() override;
        // UTF-8, as given when the file was opened.
        virtual std::string filename() const = 0;
        virtual unsigned int nb_streams() const = 0;
        virtual unsigned int nb_chapters() const = 0;
        virtual unsigned int nb_programs() const = 0;
        virtual std::string format_name() const = 0;
        virtual std::string format_long_name() const = 0;
        virtual int64_t start_time() const = 0;
        virtual int64_t duration() const = 0;
        virtual int64_t file_size() const = 0;
        virtual int bit_rate() const = 0;
        virtual metadata_map metadata() const = 0;
        virtual dt_rational_t time_base() const = 0;
    };

    explicit file_info_general(Impl* impl) : facade(impl) {}
    virtual ~file_info_general() = 0;

    std::wstring filename() const;
    unsigned int nb_streams() const { return impl()->nb_streams(); }
    // The same count under the name the music track reads it by.
    unsigned int stream_count() const { return nb_streams(); }
    unsigned int nb_chapters() const { return impl()->nb_chapters(); }
    unsigned int nb_programs() const { return impl()->nb_programs(); }
    std::string format_name() const { return impl()->format_name(); }
    std::string format_long_name() const { return impl()->format_long_name(); }
    int64_t start_time() const { return impl()->start_time(); }
    int64_t duration() const { return impl()->duration(); }
    int64_t file_size() const { return impl()->file_size(); }
    int bit_rate() const { return impl()->bit_rate(); }
    metadata_map metadata() const { return impl()->metadata(); }
    dt_rational_t time_base() const { return impl()->time_base(); }

protected:
    // Deletes the current implementation and owns the given one.
    void set_impl(Impl* impl) { reset_impl(impl); }
};
typedef boost::shared_ptr<file_info_general> file_info_general_ptr;

} // namespace kestrel
