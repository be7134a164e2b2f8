// What a dense advertisement feed leaves behind: a feed of the largest size
// the reader takes (1 MiB) filled with empty elements, read and parsed on a
// thread of its own as the feed thread does, with the list kept as the
// provider keeps it. Prints the process's resident memory before, its peak
// while reading and what stays once the reading thread has ended.
//
//   lumivista_feed_memory_bench

#include "ProcessMemory.h"

#include "feeds/DTAdvertisementFeed.h"
#include "feeds/DTFeedXml.h"

#include <iomanip>
#include <iostream>
#include <locale>
#include <sstream>
#include <string>
#include <thread>

using namespace kestrel;

namespace {

std::string dense_feed(const std::string& open, const std::string& element, const std::string& close) {
    std::string feed = open;
    while (feed.size() + element.size() + close.size() <= feeds::max_feed_size)
        feed += element;
    return feed + close;
}

void measure(const char* name, const std::string& feed, advertisement::details::context_list& kept) {
    const double before = bench::memory_mb("VmRSS");
    const bool peak_reset = bench::reset_peak_memory();
    std::thread reader([&] {
        std::istringstream body(feed);
        kept = advertisement::details::parse(body, "", "", "", "", "");
    });
    reader.join();
    const double after = bench::memory_mb("VmRSS");
    std::size_t items = 0;
    for (const advertisement::details::context_ptr& slot : kept)
        items += slot->items.size();
    std::cout << "  " << std::left << std::setw(30) << name << std::right << std::setw(6) << kept.size()
              << " slots " << std::setw(6) << items << " advertisements kept; resident " << before << " MB, peak "
              << (peak_reset ? "" : ">=") << bench::peak_memory_mb() << " MB, after " << after << " MB ("
              << std::showpos << after - before << std::noshowpos << " MB)" << std::endl;
}

} // namespace

int main() {
    std::cout.imbue(std::locale::classic());
    std::cout << std::fixed << std::setprecision(1);
    std::cout << "An advertisement feed of " << feeds::max_feed_size << " bytes of empty elements:" << std::endl;
    // Each list stays alive, as the provider keeps its list for the run.
    advertisement::details::context_list slots;
    advertisement::details::context_list items;
    measure("<c/> (slots)", dense_feed("<ads><g><p>", "<c/>", "</p></g></ads>"), slots);
    measure("<i rate=\"1\"/> (advertisements)",
            dense_feed("<ads><g><p><c>", "<i rate=\"1\"/>", "</c></p></g></ads>"), items);
    return 0;
}
