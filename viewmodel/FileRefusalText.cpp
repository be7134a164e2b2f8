#include "viewmodel/FileRefusalText.h"

#include <QCoreApplication>

namespace ViewModel {

namespace {

const char* const context = "ViewModel::FileRefusal";

} // namespace

QString refusalText(kestrel::file_refusal refusal)
{
    switch (refusal) {
    case kestrel::file_refusal::does_not_answer:
        return QCoreApplication::translate(context, "does not answer");
    case kestrel::file_refusal::earlier_calls_wait:
        return QCoreApplication::translate(context,
                                           "does not answer: earlier requests to its disk that never answered still wait");
    case kestrel::file_refusal::held_by_lease:
        return QCoreApplication::translate(context, "another program holds a lease on it");
    case kestrel::file_refusal::name_not_utf8:
        return QCoreApplication::translate(context, "its name is not UTF-8 text: rename it");
    case kestrel::file_refusal::none:
        break;
    }
    return QString();
}

QString refusalText(const kestrel::refused_file& reason)
{
    return reason.refusal == kestrel::file_refusal::none ? QString::fromStdString(reason.words)
                                                        : refusalText(reason.refusal);
}

QString waitingReason(kestrel::file_refusal why)
{
    if (why == kestrel::file_refusal::held_by_lease)
        return refusalText(why);
    return QCoreApplication::translate(context, "it does not answer");
}

} // namespace ViewModel
