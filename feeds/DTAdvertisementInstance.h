#pragma once
// One chosen advertisement and the draw that chooses it. An instance holds
// copies of its item's texts, so it outlives the provider it came from.
//
// select_instance takes the first context whose id is empty or equals the
// slot name and draws one of its items with a chance proportional to its
// rate (an item of rate 0 is practically never drawn). A context without
// items, or whose rates add up to 0, gives no advertisement, like a name
// that no context answers. The draw advances the context's engine, so one
// provider must not be used by two threads at once. An item text that is
// not UTF-8 throws std::logic_error("character conversion failed").

#include "DTAdvertisementFeed.h"
#include "base/DTBase.h"

#include <boost/shared_ptr.hpp>

#include <string>
#include <vector>

namespace kestrel {
namespace advertisement {

class instance : public interface_base {
public:
    virtual ~instance() = default;
    virtual const std::string& id() const = 0;
    virtual const std::string& url() const = 0;        // the advertisement's link
    virtual const std::wstring& wtext() const = 0;     // text() as wide characters
    virtual const std::string& text() const = 0;       // UTF-8, as in the feed
    virtual const std::string& bannerurl() const = 0;  // address of its picture
    virtual const std::vector<unsigned char>& data() const = 0; // always empty
};

typedef boost::shared_ptr<instance> instance_ptr;

namespace details {

// Empty when there is no advertisement for that slot.
instance_ptr select_instance(context_list& contexts, const std::string& name);

} // namespace details
} // namespace advertisement
} // namespace kestrel
