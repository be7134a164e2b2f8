#include "viewmodel/WaitingFiles.h"

#include "DTAbandonableCall.h"
#include "DTLongWaits.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <string>

namespace ViewModel {

bool doesNotAnswer(int error) { return error == ETIMEDOUT || error == EBUSY; }

bool doesNotAnswer(const QString& reason)
{
    return reason == QLatin1String(kestrel::patience_run_out_reason) ||
           reason == QLatin1String(kestrel::unanswered_file_reason);
}

QString whyWaitingFor(const QString& path)
{
    const std::string file = QFile::encodeName(path).toStdString();
    for (const kestrel::long_wait& wait : kestrel::long_waits())
        if (wait.file == file)
            return QString::fromStdString(wait.why);
    return QString::fromUtf8(kestrel::unanswering_reason);
}

QString waitingMessage(const QString& shown, const QString& why, int more)
{
    const char* const context = "ViewModel::WaitingFiles";
    if (more <= 0)
        return QCoreApplication::translate(context, "Waiting for \"%1\": %2.").arg(shown, why);
    return QCoreApplication::translate(context, "Waiting for \"%1\": %2, and for %n more.", nullptr, more)
        .arg(shown, why);
}

} // namespace ViewModel
