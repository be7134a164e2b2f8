#include "viewmodel/StoryboardFile.h"

#include "componentmodel/FileHelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QXmlStreamReader>
#include <QtDebug>

namespace ViewModel {
namespace StoryboardFile {

namespace {

const QString pathKey = QStringLiteral("Storyboard/slides");

// XML 1.0's Char production over UTF-16.
bool isXmlText(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 == text.size() || !QChar::isLowSurrogate(text.at(i + 1).unicode()))
                return false;
            ++i;
            continue;
        }
        if (QChar::isLowSurrogate(c) || c == 0xFFFE || c == 0xFFFF)
            return false;
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return false;
    }
    return true;
}

QString escapeAttribute(const QString& value)
{
    QString escaped;
    escaped.reserve(value.size() + value.size() / 4);
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        switch (c.unicode()) {
        case '<': escaped += QLatin1String("&lt;"); break;
        case '&': escaped += QLatin1String("&amp;"); break;
        case '"': escaped += QLatin1String("&quot;"); break;
        case '\t': escaped += QLatin1String("&#x9;"); break;
        case '\n': escaped += QLatin1String("&#xa;"); break;
        case '\r': escaped += QLatin1String("&#xd;"); break;
        case '>':
            if (i >= 2 && value.at(i - 1) == QLatin1Char(']') && value.at(i - 2) == QLatin1Char(']'))
                escaped += QLatin1String("&gt;");
            else
                escaped += c;
            break;
        default: escaped += c;
        }
    }
    return escaped;
}

QList<StoryboardEntry> readEntries(QXmlStreamReader& reader)
{
    reader.setNamespaceProcessing(false);
    QList<StoryboardEntry> entries;
    if (!reader.readNextStartElement())
        return entries;
    while (reader.readNextStartElement()) {
        const QXmlStreamAttributes attributes = reader.attributes();
        entries.append({attributes.value(QLatin1String("filePath")).toString(),
                        attributes.value(QLatin1String("settings")).toString()});
        reader.skipCurrentElement();
    }
    if (reader.hasError())
        qWarning().noquote() << "[StoryboardFile] read" << entries.size() << "slides, then:" << reader.errorString()
                             << "at line" << reader.lineNumber();
    return entries;
}

QString newFilePath()
{
    const QString folder = QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).absolutePath();
    // A folder that cannot be made shows as the failed open that follows.
    QDir().mkpath(folder);
    return folder + QLatin1Char('/') + FileHelpers::createUniqueId(QStringLiteral(".xml"));
}

} // namespace

QByteArray toXml(const QList<StoryboardEntry>& entries)
{
    QString document;
    for (const StoryboardEntry& entry : entries) {
        if (!isXmlText(entry.filePath) || !isXmlText(entry.settings)) {
            qWarning().noquote() << "[StoryboardFile] left out a slide whose path or settings XML cannot hold:"
                                 << entry.filePath.toUtf8().toPercentEncoding("/ ");
            continue;
        }
        document += QLatin1String("    <Slide settings=\"") + escapeAttribute(entry.settings) +
                    QLatin1String("\" filePath=\"") + escapeAttribute(entry.filePath) + QLatin1String("\"/>\n");
    }
    if (document.isEmpty())
        return QByteArrayLiteral("<Slides/>\n");
    return QByteArrayLiteral("<Slides>\n") + document.toUtf8() + QByteArrayLiteral("</Slides>\n");
}

QList<StoryboardEntry> fromXml(const QByteArray& document)
{
    QXmlStreamReader reader(document);
    return readEntries(reader);
}

QList<StoryboardEntry> fromXml(QIODevice* device)
{
    QXmlStreamReader reader(device);
    return readEntries(reader);
}

bool save(const QList<StoryboardEntry>& entries)
{
    QSettings settings;
    QString path = settings.value(pathKey).toString();
    if (path.isEmpty())
        path = newFilePath();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(toXml(entries));
    if (!file.commit()) {
        qWarning().noquote() << "[StoryboardFile] the storyboard could not be written:" << path << file.errorString();
        return false;
    }
    settings.setValue(pathKey, path);
    return true;
}

QList<StoryboardEntry> load()
{
    const QString path = QSettings().value(pathKey).toString();
    // Not a FIFO or a device: opening one would wait for a writer.
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return fromXml(&file);
}

} // namespace StoryboardFile
} // namespace ViewModel
