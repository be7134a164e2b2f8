#include "componentmodel/UnwaitedProcess.h"

#include "componentmodel/Descriptors.h"
#include "componentmodel/ProgramLauncher.h"

#include <cerrno>
#include <csignal>
#include <system_error>
#include <thread>

#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace ComponentModel {

namespace {

// How long a process whose input was closed has to end before it is killed.
const std::chrono::milliseconds killAfter(1000);
// The launcher answers at once, but for a program whose own file does not
// answer.
const int launchBoundMs = 10000;

// Whether the process of `pidfd` ended within `bound`.
bool endsWithin(int pidfd, std::chrono::milliseconds bound)
{
    pollfd watched{pidfd, POLLIN, 0};
    int ready;
    while ((ready = ::poll(&watched, 1, int(bound.count()))) < 0 && errno == EINTR) {
    }
    return ready != 0;
}

// The keeper's work. The pidfd names the process alone, also once another
// has its number.
void keep(int answer, int input, std::chrono::milliseconds grace)
{
    const int process = startedProcess(answer, launchBoundMs);
    closeIfOpen(answer);
    if (process < 0) {
        // Not started, or not known: without its input it ends once it runs.
        closeIfOpen(input);
        return;
    }
    if (!endsWithin(process, grace)) {
        closeIfOpen(input);
        input = -1;
        if (!endsWithin(process, killAfter))
            ::syscall(SYS_pidfd_send_signal, process, SIGKILL, nullptr, 0);
    }
    closeIfOpen(input);
    closeIfOpen(process);
}

} // namespace

std::unique_ptr<UnwaitedProcess> UnwaitedProcess::start(const QString& launcher, const QString& program,
                                                        const QStringList& arguments, QString* error)
{
    const std::optional<LaunchedProgram> launched = launch(launcher, program, arguments, error);
    if (!launched)
        return nullptr;
    return std::unique_ptr<UnwaitedProcess>(new UnwaitedProcess(launched->answer, launched->input, launched->output));
}

UnwaitedProcess::~UnwaitedProcess() { leave(std::chrono::milliseconds(0)); }

void UnwaitedProcess::leave(std::chrono::milliseconds grace)
{
    if (answer_ < 0)
        return;
    closeIfOpen(output_);
    output_ = -1;
    const int answer = answer_;
    const int input = input_;
    answer_ = -1;
    input_ = -1;
    try {
        std::thread([answer, input, grace] { keep(answer, input, grace); }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: asked to end at once.
        closeIfOpen(input);
        closeIfOpen(answer);
    }
}

} // namespace ComponentModel
