#include "support/JackDummyServer.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kestrel {
namespace test {

namespace {

std::string unique_server_name() {
    static int count = 0;
    char random_part[16];
    std::snprintf(random_part, sizeof random_part, "%08x", static_cast<unsigned>(std::random_device()()));
    return "lumivista-test-" + std::to_string(::getpid()) + "-" + std::to_string(++count) + "-" + random_part;
}

// The program's path as the shell would find it; the name when not found.
std::string on_path(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= folders.size();) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        const std::string candidate = folders.substr(start, end - start) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return name;
}

// Its output goes nowhere. It is ended (SIGTERM: it leaves JACK's registry
// in order) when the thread that started it goes, also when the test
// process dies unasked (a sanitizer halting it): a server left running
// keeps one of the few places JACK has for a whole machine.
pid_t spawn_quietly(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const std::string program = on_path(arguments[0]);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0)
        throw std::runtime_error("cannot start " + arguments[0] + ": " + std::strerror(errno));
    if (pid == 0) {
        // Only calls safe after a fork of a threaded process. A client
        // gone as the server ends breaks its pipe: that ends no server
        // before it has left the registry.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        struct sigaction ignore = {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGPIPE, &ignore, nullptr);
        if (::getppid() != parent)
            ::_exit(127);
        const int nothing = ::open("/dev/null", O_RDWR);
        for (int stream : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
            ::dup2(nothing, stream);
        ::execve(program.c_str(), argv.data(), environ);
        ::_exit(127);
    }
    return pid;
}

// Whether the server `name` runs and answers.
bool answers(const std::string& name) {
    const std::string command = "jack_wait -c -s '" + name + "' 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return false;
    char line[64] = {};
    const bool running = std::fgets(line, sizeof line, pipe) && std::strcmp(line, "running\n") == 0;
    ::pclose(pipe);
    return running;
}

// Ends the server `pid` by `signal` (SIGKILL after 5 s) and waits for it:
// whether its name still takes its place, ended by a signal it did not take
// (SIGKILL, or one it met while ending).
bool end_server(pid_t pid, int signal) {
    ::kill(pid, signal);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFSIGNALED(status);
}

// A server named `name` at `rate`, `period` frames a cycle, once it
// answers: its process.
pid_t start_server(const std::string& name, int rate, int period) {
    const pid_t pid =
        spawn_quietly({"jackd", "--no-realtime", "-n", name, "-d", "dummy", "-r", std::to_string(rate), "-p",
                       std::to_string(period)});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!answers(name)) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid)
            throw std::runtime_error("jackd ended at start");
        if (std::chrono::steady_clock::now() > deadline) {
            end_server(pid, SIGTERM);
            throw std::runtime_error("jackd did not answer within 10 s");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return pid;
}

// The place in JACK's registry that a killed server `name` still takes is
// freed as one of its name ends in order.
void free_place(const std::string& name) {
    try {
        end_server(start_server(name, 44100, 512), SIGTERM);
    } catch (const std::exception&) {
        // Taken meanwhile by another test's freeing, or no room to start.
    }
}

// Frees the places that servers of this helper took for test processes
// that have gone (a server killed by force, as a machine under load may
// make its end take longer than allowed): left there, eight of them would
// keep every later server of the machine from starting. The registry is
// read as bytes for the names this helper gives.
void free_places_of_gone_runs() {
    const std::string prefix = "lumivista-test-";
    std::string registry;
    if (FILE* file = std::fopen("/dev/shm/jack-shm-registry", "rb")) {
        char block[4096];
        for (std::size_t count; (count = std::fread(block, 1, sizeof block, file)) > 0;)
            registry.append(block, count);
        std::fclose(file);
    }
    std::vector<std::string> gone;
    for (std::size_t at = registry.find(prefix); at != std::string::npos; at = registry.find(prefix, at + 1)) {
        std::size_t end = at + prefix.size();
        while (end < registry.size() && (std::isalnum(static_cast<unsigned char>(registry[end])) || registry[end] == '-'))
            ++end;
        const std::string name = registry.substr(at, end - at);
        const long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
        if (pid > 0 && pid != ::getpid() && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH &&
            std::find(gone.begin(), gone.end(), name) == gone.end())
            gone.push_back(name);
    }
    for (const std::string& name : gone)
        free_place(name);
}

} // namespace

jack_dummy_server::jack_dummy_server(int rate, bool start_now, int period)
    : name_(unique_server_name()), rate_(rate), period_(period) {
    if (start_now)
        start();
    if (const char* previous = std::getenv("JACK_DEFAULT_SERVER")) {
        had_default_ = true;
        previous_default_ = previous;
    }
    ::setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
    ::setenv("JACK_NO_START_SERVER", "1", 1);
}

jack_dummy_server::~jack_dummy_server() {
    end(SIGTERM);
    // A server killed stays in JACK's registry of servers (eight places
    // for the whole machine) until one of its name ends in order.
    if (left_registered_)
        free_place(name_);
    forget_clients();
    if (had_default_)
        ::setenv("JACK_DEFAULT_SERVER", previous_default_.c_str(), 1);
    else
        ::unsetenv("JACK_DEFAULT_SERVER");
}

void jack_dummy_server::start() {
    free_places_of_gone_runs();
    pid_ = start_server(name_, rate_, period_);
    left_registered_ = false;
}

void jack_dummy_server::forget_clients() const {
    // "jack_sem.<uid>_<server>_<client>": a client that never closed (its
    // server gone first) leaves its semaphore behind.
    const std::string folder = "/dev/shm/";
    const std::string infix = "_" + name_ + "_";
    DIR* entries = ::opendir(folder.c_str());
    if (!entries)
        return;
    while (const dirent* entry = ::readdir(entries)) {
        const std::string file = entry->d_name;
        if (file.rfind("jack_sem.", 0) == 0 && file.find(infix) != std::string::npos)
            ::unlink((folder + file).c_str());
    }
    ::closedir(entries);
}

void jack_dummy_server::end(int signal) {
    if (pid_ <= 0)
        return;
    left_registered_ = end_server(pid_, signal);
    pid_ = -1;
}

} // namespace test
} // namespace kestrel
