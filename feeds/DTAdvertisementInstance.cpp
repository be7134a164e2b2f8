#include "DTAdvertisementInstance.h"

#include "base/DTUtils.h"

#include <boost/random/uniform_real_distribution.hpp>

#include <algorithm>
#include <cstdint>

namespace kestrel {
namespace advertisement {

class instance_impl : public instance {
public:
    explicit instance_impl(const details::rotation& item)
        : id_(item.id), url_(item.url), wtext_(utf8_to_wide(item.text)), text_(item.text),
          bannerurl_(item.bannerurl) {}

    const std::string& id() const override { return id_; }
    const std::string& url() const override { return url_; }
    const std::wstring& wtext() const override { return wtext_; }
    const std::string& text() const override { return text_; }
    const std::string& bannerurl() const override { return bannerurl_; }
    const std::vector<unsigned char>& data() const override { return data_; }

private:
    std::string id_;
    std::string url_;
    std::wstring wtext_;
    std::string text_;
    std::string bannerurl_;
    std::vector<unsigned char> data_;
};

namespace details {

instance_ptr select_instance(context_list& contexts, const std::string& name) {
    auto slot = std::find_if(contexts.begin(), contexts.end(),
                             [&name](const context_ptr& c) { return c->id.empty() || c->id == name; });
    if (slot == contexts.end())
        return instance_ptr();
    context& chosen = **slot;

    // Summed in 64 bits: the rates of many items may pass 2^32.
    std::uint64_t sum = 0;
    for (const rotation_ptr& item : chosen.items)
        sum += item->rate;
    if (sum == 0)
        return instance_ptr();

    std::vector<double> running_totals;
    running_totals.reserve(chosen.items.size());
    double total = 0.0;
    for (const rotation_ptr& item : chosen.items) {
        total += static_cast<double>(item->rate) / static_cast<double>(sum);
        running_totals.push_back(total);
    }
    boost::random::uniform_real_distribution<double> draw(0.0, total);
    const double x = draw(chosen.engine);
    const std::size_t index =
        std::lower_bound(running_totals.begin(), running_totals.end(), x) - running_totals.begin();
    return instance_ptr(new instance_impl(*chosen.items[std::min(index, chosen.items.size() - 1)]));
}

} // namespace details
} // namespace advertisement
} // namespace kestrel
