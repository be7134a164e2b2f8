#include "support/JackDummyServer.h"

#include <algorithm>
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

} // namespace

jack_dummy_server::jack_dummy_server(int rate, bool start_now) : name_(unique_server_name()), rate_(rate) {
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
    if (left_registered_) {
        try {
            start();
            end(SIGTERM);
        } catch (const std::exception&) {
        }
    }
    forget_clients();
    if (had_default_)
        ::setenv("JACK_DEFAULT_SERVER", previous_default_.c_str(), 1);
    else
        ::unsetenv("JACK_DEFAULT_SERVER");
}

void jack_dummy_server::start() {
    pid_ = spawn_quietly({"jackd", "--no-realtime", "-n", name_, "-d", "dummy", "-r", std::to_string(rate_),
                          "-p", "512"});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!answers()) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            throw std::runtime_error("jackd ended at start");
        }
        if (std::chrono::steady_clock::now() > deadline) {
            end(SIGTERM);
            throw std::runtime_error("jackd did not answer within 10 s");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
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

bool jack_dummy_server::answers() const {
    const std::string command = "jack_wait -c -s '" + name_ + "' 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return false;
    char line[64] = {};
    const bool running = std::fgets(line, sizeof line, pipe) && std::strcmp(line, "running\n") == 0;
    ::pclose(pipe);
    return running;
}

void jack_dummy_server::end(int signal) {
    if (pid_ <= 0)
        return;
    ::kill(pid_, signal);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid_, SIGKILL);
            while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // Ended by a signal it did not take (SIGKILL, or one it met while
    // ending): its name still takes its place.
    left_registered_ = WIFSIGNALED(status);
    pid_ = -1;
}

} // namespace test
} // namespace kestrel
