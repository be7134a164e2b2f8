// The sound process as the tests start it for the preview's players, and
// the launcher it is started from: the program's own helpers alone. With
// LUMIVISTA_TEST_SOUND_STARTS naming a file, each sound process adds its
// process id to it as it starts. With LUMIVISTA_TEST_SOUND_FAULT, it breaks
// the words it owes its first ask instead: "dies" in the middle of its
// answer, answers with "garbage" or with a header saying "too-large" a
// size, then waits for the end of its input.

#include "componentmodel/ProgramLauncher.h"
#include "multimedia/SoundProcess.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace {

void tellStart()
{
    const char* starts = std::getenv("LUMIVISTA_TEST_SOUND_STARTS");
    if (!starts)
        return;
    const int file = ::open(starts, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (file < 0)
        return;
    const std::string line = std::to_string(::getpid()) + "\n";
    [[maybe_unused]] const ssize_t written = ::write(file, line.data(), line.size());
    ::close(file);
}

void answerBroken(const std::string& fault)
{
    char ask[16];
    if (::read(STDIN_FILENO, ask, sizeof ask) <= 0)
        return;
    std::string words;
    if (fault == "dies") {
        words.assign(ask, 10);
    } else if (fault == "garbage") {
        words.assign(64, '\x5a');
    } else {
        const std::uint32_t header[2] = {1, 0x7fffffffu};
        words.assign(reinterpret_cast<const char*>(header), sizeof header);
        words.append(ask + 8, 8);
    }
    [[maybe_unused]] const ssize_t written = ::write(STDOUT_FILENO, words.data(), words.size());
    if (fault == "dies")
        return;
    while (::read(STDIN_FILENO, ask, sizeof ask) > 0) {
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], ComponentModel::launcherOption) == 0)
        return ComponentModel::runProgramLauncher();
    if (argc > 1 && std::strcmp(argv[1], Multimedia::soundProcessOption) == 0) {
        tellStart();
        if (const char* fault = std::getenv("LUMIVISTA_TEST_SOUND_FAULT")) {
            answerBroken(fault);
            return 0;
        }
        return Multimedia::runSoundProcess();
    }
    return 2;
}
