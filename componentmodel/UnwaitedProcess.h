#pragma once
// A program run beside this one that this one never waits for, started
// from the launcher (ProgramLauncher.h): it reads what the program writes
// on its standard output as it comes, and when it is done with it, leaves
// it. Leaving hands the process to a thread of its own, which lets it end
// by itself for a grace, then closes its standard input (which asks a
// program made for it to end at once), and kills it a moment later. A
// thread of it that waits in the kernel for a share that hangs keeps the
// process until the share answers, holding nothing of this one meanwhile.
// That thread owns only the launcher's answer (the process's descriptor)
// and the process's input.
// GUI thread (any one thread) only.

#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>

namespace ComponentModel {

class UnwaitedProcess {
public:
    // Starts `program` with `arguments` (after its own name) from the
    // launcher `launcher`; nothing and why (`error`) when it cannot.
    static std::unique_ptr<UnwaitedProcess> start(const QString& launcher, const QString& program,
                                                  const QStringList& arguments, QString* error);
    // Leaves the process with no grace.
    ~UnwaitedProcess();
    UnwaitedProcess(const UnwaitedProcess&) = delete;
    UnwaitedProcess& operator=(const UnwaitedProcess&) = delete;

    // Its standard output, to read without blocking; -1 once left.
    int output() const { return output_; }
    // Its standard input, for a few bytes at a time (a write raises
    // SIGPIPE once it has ended); -1 once left.
    int input() const { return input_; }

    // Closes its standard output here and hands the process over, with
    // `grace` to end by itself. Once only; the destructor does it otherwise.
    void leave(std::chrono::milliseconds grace);

private:
    UnwaitedProcess(int answer, int input, int output) : answer_(answer), input_(input), output_(output) {}

    int answer_; // the launcher's (ProgramLauncher.h)
    int input_;
    int output_;
};

} // namespace ComponentModel
