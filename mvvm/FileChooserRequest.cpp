#include "mvvm/FileChooserRequest.h"

namespace Mvvm {

namespace {

const QStringList modeWords{QStringLiteral("open-one"), QStringLiteral("open-many"), QStringLiteral("save"),
                            QStringLiteral("folder")};

} // namespace

const char* const fileChooserOption = "--choose-file";

QStringList FileChooserRequest::arguments() const
{
    return QStringList{modeWords.at(mode), title, filters, QString::number(transientFor)} + startFolders;
}

std::optional<FileChooserRequest> FileChooserRequest::fromArguments(const QStringList& arguments)
{
    if (arguments.size() < 4 || !modeWords.contains(arguments.at(0)))
        return std::nullopt;
    bool isNumber = false;
    FileChooserRequest request;
    request.mode = static_cast<Mode>(modeWords.indexOf(arguments.at(0)));
    request.title = arguments.at(1);
    request.filters = arguments.at(2);
    request.transientFor = arguments.at(3).toULongLong(&isNumber);
    request.startFolders = arguments.mid(4);
    if (!isNumber)
        return std::nullopt;
    return request;
}

QByteArray pathLine(const char* word, const QString& path)
{
    return QByteArray(word) + ' ' + path.toUtf8().toPercentEncoding();
}

std::optional<QString> pathOfLine(const char* word, const QByteArray& line)
{
    const QByteArray prefix = QByteArray(word) + ' ';
    if (!line.startsWith(prefix))
        return std::nullopt;
    return QString::fromUtf8(QByteArray::fromPercentEncoding(line.mid(prefix.size())));
}

} // namespace Mvvm
