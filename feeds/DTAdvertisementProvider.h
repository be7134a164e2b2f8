#pragma once
// The advertisement feed of this program. start() downloads the feed once
// on a detached thread of its own, keeps the slots (contexts) meant for the
// caller's product key, platform, version, region and language
// (DTAdvertisementFeed.h) and reports exactly once through the callback on
// that thread: (state_loaded, the provider), or a failure state with an
// empty provider, the reason of a failure logged (DTFeedFetch.h). An
// unparsable address is reported at once, on the calling thread. No
// exception leaves start() or the download; a callback that throws is not
// called again. The callback must hand the provider over to its owner's
// thread itself and cope with an owner that is gone.

#include "DTAdvertisementFeed.h"
#include "DTAdvertisementInstance.h"
#include "DTFeedFetch.h"
#include "base/DTBase.h"

#include <boost/function.hpp>
#include <boost/shared_ptr.hpp>

#include <memory>
#include <string>

namespace kestrel {
namespace advertisement {

class provider : public interface_base {
public:
    enum State {
        state_loaded = 1,          // downloaded and parsed (maybe no context kept)
        state_bad_url = 2,         // the feed address is not a URL
        state_download_failed = 3, // the HTTP client could not open it
        state_bad_feed = 4         // reading the body or parsing it failed
    };
    typedef boost::function<void(State, boost::shared_ptr<provider>)> callback;

    explicit provider(details::context_list contexts);
    ~provider();

    // True when the download thread was started; false when the address is
    // not a URL (after one callback with state_bad_url) or no thread could
    // be started (after one callback with state_download_failed). Without
    // limits the download takes feeds::feed_limits(), which nobody cancels.
    // A download past its limits, or cancelled, ends in state_bad_feed or
    // state_download_failed, as the client failed while reading or opening.
    static bool start(const std::string& url, const std::string& product, const std::string& os,
                      const std::string& version, const std::string& region, const std::string& language,
                      callback done, const feeds::fetch_limits& limits);
    static bool start(const std::string& url, const std::string& product, const std::string& os,
                      const std::string& version, const std::string& region, const std::string& language,
                      callback done);

    // One advertisement for the slot name; empty when there is none. Not
    // for two threads at once (DTAdvertisementInstance.h).
    instance_ptr create_instance(const std::string& context);

private:
    std::unique_ptr<details::context_list> contexts_;
};

typedef boost::shared_ptr<provider> provider_ptr;

// The two halves of a locale name: "en_US" gives en and US. A name without
// "_" (the "C" locale) has no region.
struct locale_parts {
    std::string language;
    std::string region;
};
locale_parts split_locale_name(const std::string& name);

namespace details {

// The thread body: fetch, parse, report; on the calling thread.
void download(const std::string& url, const std::string& product, const std::string& os,
              const std::string& version, const std::string& region, const std::string& language,
              const provider::callback& done, const std::string& user_agent,
              const feeds::fetch_limits& limits = feeds::feed_limits());

} // namespace details
} // namespace advertisement
} // namespace kestrel
