#include "viewmodel/WaitingFiles.h"

#include "viewmodel/FileRefusalText.h"

#include "files/DTLongWaits.h"

#include <QCoreApplication>
#include <QFile>

#include <optional>
#include <string>

namespace ViewModel {

bool doesNotAnswer(kestrel::file_refusal refusal) { return kestrel::may_answer_later(refusal); }

namespace {

std::optional<kestrel::long_wait> longWaitOn(const QString& path)
{
    const std::string file = QFile::encodeName(path).toStdString();
    for (const kestrel::long_wait& wait : kestrel::long_waits())
        if (wait.file == file)
            return wait;
    return std::nullopt;
}

} // namespace

QString whyWaitingFor(const QString& path)
{
    const std::optional<kestrel::long_wait> wait = longWaitOn(path);
    return waitingReason(wait ? wait->why : kestrel::file_refusal::does_not_answer);
}

bool keptWaiting(const QString& path) { return longWaitOn(path).has_value(); }

QString waitingMessage(const QString& shown, const QString& why, int more)
{
    const char* const context = "ViewModel::WaitingFiles";
    if (more <= 0)
        return QCoreApplication::translate(context, "Waiting for \"%1\": %2.").arg(shown, why);
    return QCoreApplication::translate(context, "Waiting for \"%1\": %2, and for %n more.", nullptr, more)
        .arg(shown, why);
}

} // namespace ViewModel
