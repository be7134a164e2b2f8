#include "viewmodel/WaitingFiles.h"

#include "viewmodel/FileRefusalText.h"

#include "files/DTLongWaits.h"

#include <QCoreApplication>
#include <QFile>

#include <string>

namespace ViewModel {

bool doesNotAnswer(kestrel::file_refusal refusal) { return kestrel::may_answer_later(refusal); }

QString whyWaitingFor(const QString& path)
{
    const std::string file = QFile::encodeName(path).toStdString();
    for (const kestrel::long_wait& wait : kestrel::long_waits())
        if (wait.file == file)
            return waitingReason(wait.why);
    return waitingReason(kestrel::file_refusal::does_not_answer);
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
