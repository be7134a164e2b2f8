// kestrel_hanging_share SOURCE MOUNT_POINT
//
// A network share that hangs on demand, for the tests: mounts SOURCE's tree
// at MOUNT_POINT as a writable FUSE file system (libfuse's low-level
// interface), doing each call on SOURCE, until told on standard input to
// hold the requests of a kind unanswered, as a share whose server went
// away does:
//   hang KIND   hold such requests from now; KIND is one of
//               lookup, open (files and folders), read (files and folders),
//               readlink, getattr (and statfs), setattr (truncate, times,
//               mode, owner), create (files, nodes, folders, links),
//               write, flush (and fsync: a close waits for its flush),
//               rename, unlink (and rmdir), all
//   answer      answer every request held, hold no more
// Each command is acknowledged with "ok" on standard output; each request
// held says "held KIND" there. "ready" comes once the share is mounted;
// "cannot mount: <why>" (exit 77) when it cannot be (no /dev/fuse, not
// root). A held create, rename or removal holds its folder in the kernel
// too: look-ups in that folder wait behind it. At the end of standard
// input, or on SIGTERM or SIGINT, it answers what it holds, unmounts and
// ends. Once the process that started it is ending (a crash, a sanitizer's
// report, an exit while one of its threads waits here), it answers what it
// holds and holds nothing more, so that the process can end; its end then
// ends the share.

#include "ServedProcess.h"
#include "ShareDevice.h"
#include "ShareOperations.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using kestrel::share::say;

// A descriptor that becomes readable on SIGTERM or SIGINT, which no longer
// end the process by themselves.
int signals_to_end() {
    sigset_t ending;
    sigemptyset(&ending);
    sigaddset(&ending, SIGTERM);
    sigaddset(&ending, SIGINT);
    ::sigprocmask(SIG_BLOCK, &ending, nullptr);
    return ::signalfd(-1, &ending, SFD_CLOEXEC);
}

// Commands from standard input, answered line by line; false at its end.
bool take_commands(kestrel::share::held_requests& held, std::string& input) {
    char chunk[256];
    const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (got < 0)
        return errno == EINTR || errno == EAGAIN;
    if (got == 0)
        return false;
    input.append(chunk, static_cast<std::size_t>(got));
    for (std::size_t end; (end = input.find('\n')) != std::string::npos; input.erase(0, end + 1))
        say(held.command(input.substr(0, end)));
    return true;
}

// One request from the kernel, if one is there: the device never blocks,
// so a request withdrawn since the poll (its asker was stopped) leaves
// nothing waiting. False once the share is unmounted.
bool take_request(fuse_session* session, fuse_buf& buffer) {
    const int got = fuse_session_receive_buf(session, &buffer);
    if (got == -EAGAIN || got == -EINTR)
        return true;
    if (got <= 0)
        return false;
    fuse_session_process_buf(session, &buffer);
    return !fuse_session_exited(session);
}

// How often the process served is looked at: a dying test ends this much
// after its last thread could.
const int served_look_ms = 100;

// Serves the share until standard input ends, a signal to end comes or
// the share is unmounted from outside.
void serve(fuse_session* session, kestrel::share::held_requests& held, int signals) {
    const int device = fuse_session_fd(session);
    const kestrel::share::served_process served;
    bool served_ending = false;
    auto next_look = std::chrono::steady_clock::now();
    fuse_buf buffer{};
    std::string input;
    for (bool serving = true; serving;) {
        if (!served_ending && std::chrono::steady_clock::now() >= next_look) {
            next_look = std::chrono::steady_clock::now() + std::chrono::milliseconds(served_look_ms);
            served_ending = served.ending();
            if (served_ending)
                held.let_go();
        }
        pollfd waits[3] = {{device, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}, {signals, POLLIN, 0}};
        if (::poll(waits, 3, served_ending ? -1 : served_look_ms) < 0) {
            serving = errno == EINTR;
            continue;
        }
        if (waits[2].revents)
            break;
        if (waits[1].revents)
            serving = take_commands(held, input);
        if (waits[0].revents & POLLIN)
            serving = serving && take_request(session, buffer);
        else if (waits[0].revents & (POLLERR | POLLHUP))
            serving = false;
    }
    std::free(buffer.mem);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || std::strcmp(argv[1], "--help") == 0) {
        std::fprintf(argc == 2 ? stdout : stderr, "usage: kestrel_hanging_share SOURCE MOUNT_POINT\n");
        return argc == 2 ? 0 : 64;
    }
    // A test that died takes our standard output with it; its input's end
    // still ends the share.
    ::signal(SIGPIPE, SIG_IGN);
    // The kernel applied the asker's umask already.
    ::umask(0);
    const int signals = signals_to_end();

    kestrel::share::share_state state;
    state.source = argv[1];
    char program[] = "kestrel_hanging_share";
    char* arguments[] = {program};
    fuse_args parsed = FUSE_ARGS_INIT(1, arguments);
    fuse_session* session =
        fuse_session_new(&parsed, &kestrel::share::share_operations(), sizeof(fuse_lowlevel_ops), &state);
    fuse_opt_free_args(&parsed);
    if (!session) {
        say("cannot mount: no FUSE session could be made");
        return 77;
    }
    std::string why_not;
    const int device = kestrel::share::mount_device(argv[2], why_not);
    if (device < 0 || !kestrel::share::hand_to_session(session, device)) {
        if (device >= 0)
            ::umount2(argv[2], MNT_DETACH);
        fuse_session_destroy(session);
        say("cannot mount: " + (why_not.empty() ? std::string("the session did not take the device") : why_not));
        return 77;
    }
    say("ready");
    serve(session, state.held, signals);
    state.held.answer_all();
    // What asks from now on gets ENOTCONN, once the session closes the
    // device.
    ::umount2(argv[2], MNT_DETACH);
    fuse_session_destroy(session);
    return 0;
}
