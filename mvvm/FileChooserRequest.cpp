#include "mvvm/FileChooserRequest.h"

namespace Mvvm {

namespace {

const QStringList modeWords{QStringLiteral("open-one"), QStringLiteral("open-many"), QStringLiteral("save"),
                            QStringLiteral("folder")};

const QByteArray filePrefix("file ");

} // namespace

const char* const fileChooserOption = "--choose-file";

QStringList FileChooserRequest::arguments() const
{
    return {modeWords.at(mode), title, startFolder, filters, QString::number(transientFor)};
}

std::optional<FileChooserRequest> FileChooserRequest::fromArguments(const QStringList& arguments)
{
    if (arguments.size() != 5 || !modeWords.contains(arguments.at(0)))
        return std::nullopt;
    bool isNumber = false;
    FileChooserRequest request;
    request.mode = static_cast<Mode>(modeWords.indexOf(arguments.at(0)));
    request.title = arguments.at(1);
    request.startFolder = arguments.at(2);
    request.filters = arguments.at(3);
    request.transientFor = arguments.at(4).toULongLong(&isNumber);
    if (!isNumber || request.startFolder.isEmpty())
        return std::nullopt;
    return request;
}

QByteArray fileLine(const QString& path) { return filePrefix + path.toUtf8().toPercentEncoding(); }

std::optional<QString> pathOfFileLine(const QByteArray& line)
{
    if (!line.startsWith(filePrefix))
        return std::nullopt;
    return QString::fromUtf8(QByteArray::fromPercentEncoding(line.mid(filePrefix.size())));
}

} // namespace Mvvm
