#include "componentmodel/ProgramLauncher.h"

#include "componentmodel/DescriptorMessages.h"
#include "componentmodel/Descriptors.h"
#include "componentmodel/DesktopSignals.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ComponentModel {

const char* const launcherOption = "--program-launcher";

namespace {

// The launcher's end of its socket, in the launcher.
const int launcherSocket = 3;
// A request's words (program, arguments, environment) fit in this, well
// within what one message of the socket may hold.
const std::size_t requestBound = 1 << 17;

// Held by a start: the sound output starts its process from a thread of
// its own. Never destroyed, as the list below: a stream thread let go may
// still start one as the program ends.
std::mutex& launcherMutex()
{
    static auto* mutex = new std::mutex;
    return *mutex;
}

// The launcher's socket in the program; -1 while none runs.
int& launcherEnd()
{
    static int end = -1;
    return end;
}

// The launchers started and not yet reaped, the running one last: one
// given up while it still runs (it had no room for a request) ends once
// it has read its socket to the end.
std::vector<pid_t>& launcherPids()
{
    static auto* pids = new std::vector<pid_t>;
    return *pids;
}

// Reaps the launchers that have ended, never waiting for one.
void reapEndedLaunchers()
{
    std::vector<pid_t>& pids = launcherPids();
    pids.erase(std::remove_if(pids.begin(), pids.end(),
                              [](pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) != 0; }),
               pids.end());
}

QString errorText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Starts argv[0] with `environment`, each descriptor of `moves` put at its
// place, its signals as the desktop gives them (DesktopSignals.h): its
// number, or -1 and `error`.
pid_t spawn(char* const argv[], char* const environment[], const std::vector<std::pair<int, int>>& moves,
            int* error)
{
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawnattr_init(&attributes);
    for (const auto& [from, to] : moves)
        ::posix_spawn_file_actions_adddup2(&actions, from, to);
    askDesktopSignals(attributes);
    pid_t pid = -1;
    *error = ::posix_spawn(&pid, argv[0], &actions, &attributes, argv, environment);
    ::posix_spawn_file_actions_destroy(&actions);
    ::posix_spawnattr_destroy(&attributes);
    return *error ? -1 : pid;
}

// Pointers to each word of `words`, which end in a zero byte each, and a
// null after them.
std::vector<char*> wordList(char* words, std::size_t size)
{
    std::vector<char*> list;
    for (std::size_t at = 0; at < size; at += std::strlen(words + at) + 1)
        list.push_back(words + at);
    list.push_back(nullptr);
    return list;
}

// A request: the number of arguments (program included), then the
// arguments and the environment, each ending in a zero byte.
QByteArray request(const QString& program, const QStringList& arguments)
{
    QByteArray words;
    const std::uint32_t count = std::uint32_t(arguments.size() + 1);
    words.append(reinterpret_cast<const char*>(&count), sizeof count);
    words.append(QFile::encodeName(program)).append('\0');
    for (const QString& argument : arguments)
        words.append(argument.toUtf8()).append('\0');
    for (char** variable = environ; *variable; ++variable)
        words.append(*variable).append('\0');
    return words;
}

// Answers a request whose words and descriptors (the program's standard
// input and output, where to answer) came in.
void answer(std::vector<char>& words, std::size_t size, const std::vector<int>& fds)
{
    std::int32_t failure = EINVAL;
    int process = -1;
    std::uint32_t count = 0;
    if (fds.size() == 3 && size > sizeof count && words[size - 1] == '\0') {
        std::memcpy(&count, words.data(), sizeof count);
        std::vector<char*> list = wordList(words.data() + sizeof count, size - sizeof count);
        if (count > 0 && count < list.size()) {
            list.insert(list.begin() + count, nullptr);
            int error = 0;
            const pid_t pid = spawn(list.data(), list.data() + count + 1,
                                    {{fds[0], STDIN_FILENO}, {fds[1], STDOUT_FILENO}}, &error);
            failure = error;
            // Not yet reaped: the number is still the program's.
            if (pid > 0 && (process = int(::syscall(SYS_pidfd_open, pid, 0))) < 0) {
                failure = errno;
                ::kill(pid, SIGKILL);
            }
        }
    }
    if (fds.size() == 3)
        sendWithDescriptors(fds[2], &failure, sizeof failure,
                            process >= 0 ? std::vector<int>{process} : std::vector<int>());
    for (const int fd : fds)
        closeIfOpen(fd);
    closeIfOpen(process);
}

// Starts the launcher when none runs: 0, or why not (an errno).
int startLauncherProcess(const QString& launcher)
{
    reapEndedLaunchers();
    if (launcherEnd() >= 0)
        return 0;
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0)
        return errno;
    QByteArray program = QFile::encodeName(launcher);
    QByteArray option(launcherOption);
    char* const argv[] = {program.data(), option.data(), nullptr};
    int error = 0;
    const pid_t pid = spawn(argv, environ, {{ends[1], launcherSocket}}, &error);
    closeIfOpen(ends[1]);
    if (pid < 0) {
        closeIfOpen(ends[0]);
        return error;
    }
    launcherEnd() = ends[0];
    // This program never waits for it: it ends with this program, or once
    // given up, and is then reaped at the next launch (or by whoever
    // outlives this program).
    try {
        launcherPids().push_back(pid);
    } catch (const std::bad_alloc&) {
        // Unreaped, it stays a zombie until this program ends.
    }
    return 0;
}

} // namespace

bool startLauncher(const QString& launcher)
{
    const std::lock_guard<std::mutex> lock(launcherMutex());
    return startLauncherProcess(launcher) == 0;
}

std::optional<LaunchedProgram> launch(const QString& launcher, const QString& program, const QStringList& arguments,
                                      QString* error)
{
    const std::lock_guard<std::mutex> lock(launcherMutex());
    const QByteArray words = request(program, arguments);
    if (std::size_t(words.size()) > requestBound) {
        *error = QStringLiteral("its environment is too large");
        return std::nullopt;
    }
    // A launcher that has ended (killed, say), or has no room for the
    // request (it does not answer), is given up and made again, once.
    for (int attempt = 0;; ++attempt) {
        if (const int failure = startLauncherProcess(launcher)) {
            *error = errorText(failure);
            return std::nullopt;
        }
        int input[2] = {-1, -1}, output[2] = {-1, -1}, reply[2] = {-1, -1};
        if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC | O_NONBLOCK) != 0 ||
            ::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, reply) != 0) {
            *error = errorText(errno);
            for (const int made : {input[0], input[1], output[0], output[1], reply[0], reply[1]})
                closeIfOpen(made);
            return std::nullopt;
        }
        // The program's end of its output blocks, as a program expects.
        ::fcntl(output[1], F_SETFL, ::fcntl(output[1], F_GETFL) & ~O_NONBLOCK);
        const bool asked = sendWithDescriptors(launcherEnd(), words.constData(), std::size_t(words.size()),
                                               {input[0], output[1], reply[1]});
        const bool ended = !asked && errno != EAGAIN;
        for (const int theirs : {input[0], output[1], reply[1]})
            closeIfOpen(theirs);
        if (asked)
            return LaunchedProgram{reply[0], input[1], output[0]};
        for (const int ours : {input[1], output[0], reply[0]})
            closeIfOpen(ours);
        closeIfOpen(launcherEnd());
        launcherEnd() = -1;
        *error = QString::fromLatin1(ended ? "the launcher has ended" : "the launcher does not answer");
        if (attempt > 0)
            return std::nullopt;
    }
}

int startedProcess(int answer, int ms)
{
    std::int32_t failure = 0;
    std::vector<int> fds;
    if (!readableWithin(answer, ms) || receiveWithDescriptors(answer, &failure, sizeof failure, &fds, 1) !=
                                           ssize_t(sizeof failure) || failure != 0 || fds.size() != 1) {
        for (const int fd : fds)
            closeIfOpen(fd);
        return -1;
    }
    return fds.front();
}

int runProgramLauncher()
{
    // Its socket is its own: not a program's it starts.
    ::fcntl(launcherSocket, F_SETFD, FD_CLOEXEC);
    std::vector<char> words(requestBound);
    for (;;) {
        // The programs that have ended are reaped about once a second.
        while (::waitpid(-1, nullptr, WNOHANG) > 0) {
        }
        if (!readableWithin(launcherSocket, 1000))
            continue;
        std::vector<int> fds;
        const ssize_t size = receiveWithDescriptors(launcherSocket, words.data(), words.size(), &fds, 3);
        if (size <= 0)
            return size == 0 ? 0 : 1;
        answer(words, std::size_t(size), fds);
    }
}

} // namespace ComponentModel
