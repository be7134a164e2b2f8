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
    const char16_t* p = reinterpret_cast<const char16_t*>(text.utf16());
    const char16_t* const end = p + text.size();
    for (; p != end; ++p) {
        const char16_t c = *p;
        if (c >= 0x20 && c < 0xD800)
            continue;
        if (QChar::isHighSurrogate(c)) {
            if (p + 1 == end || !QChar::isLowSurrogate(p[1]))
                return false;
            ++p;
            continue;
        }
        if (QChar::isLowSurrogate(c) || c == 0xFFFE || c == 0xFFFF)
            return false;
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return false;
    }
    return true;
}

// Appends the value in UTF-8 with the attribute escapes. The escaped
// characters are ASCII, which no byte of a longer UTF-8 sequence is.
void appendEscaped(QByteArray& out, const QString& value)
{
    const QByteArray utf8 = value.toUtf8();
    const char* const begin = utf8.constData();
    const char* const end = begin + utf8.size();
    const char* run = begin;
    for (const char* p = begin; p != end; ++p) {
        QByteArrayView escape;
        switch (*p) {
        case '<': escape = "&lt;"; break;
        case '&': escape = "&amp;"; break;
        case '"': escape = "&quot;"; break;
        case '\t': escape = "&#x9;"; break;
        case '\n': escape = "&#xa;"; break;
        case '\r': escape = "&#xd;"; break;
        case '>':
            if (p - begin >= 2 && p[-1] == ']' && p[-2] == ']')
                escape = "&gt;";
            break;
        default: continue;
        }
        if (!escape.isEmpty()) {
            out.append(run, p - run).append(escape);
            run = p + 1;
        }
    }
    out.append(run, end - run);
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
    qsizetype size = 0;
    for (const StoryboardEntry& entry : entries)
        size += 40 + (entry.filePath.size() + entry.settings.size()) * 5 / 4;
    QByteArray document;
    document.reserve(size);
    document.append("<Slides>\n");
    bool written = false;
    for (const StoryboardEntry& entry : entries) {
        if (!isXmlText(entry.filePath) || !isXmlText(entry.settings)) {
            qWarning().noquote() << "[StoryboardFile] left out a slide whose path or settings XML cannot hold:"
                                 << entry.filePath.toUtf8().toPercentEncoding("/ ");
            continue;
        }
        document.append("    <Slide settings=\"");
        appendEscaped(document, entry.settings);
        document.append("\" filePath=\"");
        appendEscaped(document, entry.filePath);
        document.append("\"/>\n");
        written = true;
    }
    return written ? document.append("</Slides>\n") : QByteArray("<Slides/>\n");
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
