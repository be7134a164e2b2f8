// What a dense feed costs the program: feeds of the largest size the reader
// takes (1 MiB), of the shapes that cost most, served on the loopback and
// fetched as the program fetches them: the download and the parse on the
// feed reader's own thread (DTAdvertisementProvider.h, DTAppNotification.h),
// the result handed over to the main thread, which keeps it as the
// services keep it (the provider for the run, the notification while its
// message is open). Each feed is read in a process of its own, which
// prints its resident memory before the download, its peak (VmHWM) from
// the download on, and what stays once the feed thread has ended.
//
//   lumivista_feed_memory_bench

#include "NumberArguments.h"
#include "ProcessMemory.h"

#include "feeds/DTAdvertisementFeed.h"
#include "feeds/DTAdvertisementProvider.h"
#include "feeds/DTAppNotification.h"
#include "feeds/DTFeedXml.h"

#include "support/LoopbackHttpServer.h"

#include <boost/shared_ptr.hpp>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <locale>
#include <mutex>
#include <string>
#include <thread>

#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrel;

namespace {

struct Shape {
    const char* name;
    bool advertisement; // else a notification
    const char* open;
    const char* element;
    const char* close;
};

const Shape shapes[] = {
    {"a small feed, for comparison", true, "<ads><g><p><c id=\"banner\"><i rate=\"1\"><text>Hello</text></i>", "",
     "</c></p></g></ads>"},
    {"<c/> (slots)", true, "<ads><g><p>", "<c/>", "</p></g></ads>"},
    {"<i rate=\"1\"/> (advertisements)", true, "<ads><g><p><c>", "<i rate=\"1\"/>", "</c></p></g></ads>"},
    {"<i rate=\"1\"><text>a</text></i>", true, "<ads><g><p><c>", "<i rate=\"1\"><text>a</text></i>",
     "</c></p></g></ads>"},
    {"<e/> (update entries)", false, "<notification><message>Hello</message><update>", "<e/>",
     "</update></notification>"},
    {"<a x=\"\" ...> (attributes)", true, "<ads><g><p><c><i rate=\"1\"", " x=\"\"", "/></c></p></g></ads>"},
    {"one text of 1 MiB", false, "<notification><message>", "a", "</message></notification>"},
};

std::string dense_feed(const Shape& shape) {
    std::string feed = shape.open;
    const std::string element = shape.element;
    const std::size_t close = std::string(shape.close).size();
    while (!element.empty() && feed.size() + element.size() + close <= feeds::max_feed_size)
        feed += element;
    return feed + shape.close;
}

// The threads of this process, to see the feed thread end.
int thread_count() {
    int count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (const dirent* entry = readdir(tasks))
            count += entry->d_name[0] != '.';
        closedir(tasks);
    }
    return count;
}

// The hand-over from the feed thread to the main thread.
template <class Result>
class Mailbox {
public:
    void post(Result result) {
        std::lock_guard<std::mutex> lock(mutex_);
        result_ = std::move(result);
        posted_ = true;
        changed_.notify_all();
    }
    bool wait(Result& result) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!changed_.wait_for(lock, std::chrono::minutes(2), [&] { return posted_; }))
            return false;
        result = std::move(result_);
        return true;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    Result result_;
    bool posted_ = false;
};

// Serves the feed from a process of its own, so that the server's memory
// is not counted; the address of the feed, or "" when there is none.
std::string serve(const Shape& shape, pid_t& server) {
    int port_pipe[2];
    if (pipe(port_pipe) != 0)
        return std::string();
    server = fork();
    if (server == 0) {
        close(port_pipe[0]);
        test::LoopbackHttpServer http;
        http.answer("/feed.xml", test::HttpReply::ok(dense_feed(shape)));
        const unsigned short port = http.port();
        if (write(port_pipe[1], &port, sizeof port) == sizeof port)
            pause(); // until the measuring process ends it
        _exit(0);
    }
    close(port_pipe[1]);
    unsigned short port = 0;
    const bool told = server > 0 && read(port_pipe[0], &port, sizeof port) == sizeof port;
    close(port_pipe[0]);
    return told ? "http://127.0.0.1:" + std::to_string(port) + "/feed.xml" : std::string();
}

// Reads one shape in this process; the result stays alive to the end.
int measure(const Shape& shape) {
    pid_t server = -1;
    const std::string url = serve(shape, server);
    if (url.empty())
        return 1;
    const int threads = thread_count();
    const double before = bench::memory_mb("VmRSS");
    const bool peak_reset = bench::reset_peak_memory();

    std::string kept;
    advertisement::provider_ptr provider;
    appnotification::notification_ptr notification;
    bool read = false;
    if (shape.advertisement) {
        auto mailbox = std::make_shared<Mailbox<advertisement::provider_ptr>>();
        advertisement::provider::start(url, "", "", "", "", "",
                                       [mailbox](advertisement::provider::State, advertisement::provider_ptr feed) {
                                           mailbox->post(std::move(feed));
                                       });
        read = mailbox->wait(provider) && provider;
        kept = read ? "a provider" : "nothing";
    } else {
        auto mailbox = std::make_shared<Mailbox<appnotification::notification_ptr>>();
        appnotification::start(url, [mailbox](bool, appnotification::notification_ptr feed) {
            mailbox->post(std::move(feed));
        });
        read = mailbox->wait(notification) && notification;
        kept = read ? std::to_string(notification->update_count()) + " update entries" : "nothing";
    }
    // The feed thread ends once it has handed its result over.
    for (int i = 0; i < 1000 && thread_count() > threads; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const double after = bench::memory_mb("VmRSS");

    std::cout << "  " << std::left << std::setw(34) << shape.name << std::right << " kept " << std::setw(20) << kept
              << "; resident " << before << " MB, peak " << (peak_reset ? "" : ">=") << bench::peak_memory_mb()
              << " MB (" << std::showpos << bench::peak_memory_mb() - before << std::noshowpos << "), after " << after
              << " MB (" << std::showpos << after - before << std::noshowpos << ")" << std::endl;
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    return read ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const int shape_count = static_cast<int>(sizeof shapes / sizeof shapes[0]);
    const command_line::arguments line(
        argc, argv,
        {"lumivista_feed_memory_bench", "[shape]",
         "Fetches feeds of the largest size the reader takes, of the shapes that cost most, over HTTP on the\n"
         "loopback as the program fetches them, each in a process of its own, and prints what was kept, the\n"
         "resident memory before the download, the peak from the download on and what stays after.\n"
         "  shape  only the feed of that number (0 to " +
             std::to_string(shape_count - 1) +
             "), in this process (default: each in turn, in a process\n"
             "         of its own: this program run again with the shape's number)\n",
         0, 1});
    if (line.ended())
        return line.exit_status();
    std::cout.imbue(std::locale::classic());
    std::cout << std::fixed << std::setprecision(1);
    if (line.count() == 1) {
        const std::optional<int> shape = bench::whole_number(line, 0, "shape", 0, 0, shape_count - 1);
        return shape ? measure(shapes[*shape]) : command_line::exit_usage;
    }
    std::cout << "Feeds of " << feeds::max_feed_size << " bytes, each fetched and read in a process of its own:"
              << std::endl;
    int failed = 0;
    for (int i = 0; i < shape_count; ++i) {
        std::cout.flush();
        const std::string command = "\"/proc/" + std::to_string(getpid()) + "/exe\" " + std::to_string(i);
        failed += std::system(command.c_str()) != 0;
    }
    return failed == 0 ? 0 : 1;
}
