#include "DTAdvertisementProvider.h"

#include "DTFeedXml.h"

#include "net/Url.h"

#include <thread>

namespace kestrel {
namespace advertisement {

provider::provider(details::context_list contexts) : contexts_(new details::context_list(std::move(contexts))) {}

provider::~provider() = default;

instance_ptr provider::create_instance(const std::string& context) {
    return details::select_instance(*contexts_, context);
}

bool provider::start(const std::string& url, const std::string& product, const std::string& os,
                     const std::string& version, const std::string& region, const std::string& language,
                     callback done) {
    return start(url, product, os, version, region, language, done, feeds::feed_limits());
}

bool provider::start(const std::string& url, const std::string& product, const std::string& os,
                     const std::string& version, const std::string& region, const std::string& language,
                     callback done, const feeds::fetch_limits& limits) {
    boost::system::error_code ec;
    urdl::url::from_string(url, ec);
    if (ec) {
        feeds::log_failure(url, "not a URL", ec);
        feeds::report(url, done, state_bad_url, provider_ptr());
        return false;
    }
    try {
        const std::string user_agent = feeds::default_user_agent();
        // A standard thread, whose hand-over of the copies the race checker sees.
        std::thread([=] { details::download(url, product, os, version, region, language, done, user_agent, limits); })
            .detach();
    } catch (...) {
        // No thread: nobody else will report.
        feeds::log_failure(url, "no download thread", std::current_exception());
        feeds::report(url, done, state_download_failed, provider_ptr());
        return false;
    }
    return true;
}

locale_parts split_locale_name(const std::string& name) {
    locale_parts parts;
    const std::size_t separator = name.find('_');
    parts.language = name.substr(0, separator);
    if (separator != std::string::npos)
        parts.region = name.substr(separator + 1, name.find('_', separator + 1) - separator - 1);
    return parts;
}

namespace details {

void download(const std::string& url, const std::string& product, const std::string& os,
              const std::string& version, const std::string& region, const std::string& language,
              const provider::callback& done, const std::string& user_agent, const feeds::fetch_limits& limits) {
    provider_ptr loaded;
    provider::State state = provider::state_bad_feed;
    try {
        std::stringstream body;
        const feeds::fetch_outcome fetched = feeds::fetch_body(url, user_agent, limits, body);
        if (fetched == feeds::fetch_outcome::not_opened) {
            state = provider::state_download_failed;
        } else if (fetched == feeds::fetch_outcome::read) {
            loaded.reset(new provider(parse(body, product, os, version, region, language)));
            state = provider::state_loaded;
        }
    } catch (...) {
        loaded.reset();
        state = provider::state_bad_feed;
        feeds::log_failure(url, "unreadable", std::current_exception());
    }
    // The body and the text read from it are gone: their memory goes back
    // to the system, or this thread's malloc arena would hold it for the run.
    feeds::return_freed_memory();
    feeds::report(url, done, state, loaded);
}

} // namespace details
} // namespace advertisement
} // namespace kestrel
