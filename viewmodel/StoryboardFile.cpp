#include "viewmodel/StoryboardFile.h"

#include "viewmodel/SettingsStore.h"
#include "viewmodel/StoreProblem.h"

#include "componentmodel/FileHelpers.h"

#include "DTFailureReason.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <QtDebug>

#include <cerrno>

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

// Far more than any storyboard (a million slides); a bigger file is read
// up to here.
const qint64 maxDocumentBytes = qint64(512) << 20;

// The length of the longest start of `bytes` that is UTF-8 (RFC 3629: no
// overlong forms, no surrogates, nothing above U+10FFFF).
qsizetype utf8PrefixLength(QByteArrayView bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    qsizetype i = 0;
    while (i < size) {
        const unsigned char lead = p[i];
        int more = 0;
        unsigned char low = 0x80, high = 0xBF; // the range of the first continuation byte
        if (lead < 0x80)
            more = 0;
        else if (lead >= 0xC2 && lead <= 0xDF)
            more = 1;
        else if (lead >= 0xE0 && lead <= 0xEF) {
            more = 2;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            more = 3;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else
            return i;
        if (size - i <= more)
            return i;
        for (int k = 1; k <= more; ++k) {
            const unsigned char next = p[i + k];
            if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF))
                return i;
        }
        i += 1 + more;
    }
    return i;
}

// Whether the document is UTF-8: no byte order mark of UTF-16 or UTF-32
// and no other encoding declared.
bool isUtf8Document(const QByteArray& document)
{
    if (document.startsWith("\xfe\xff") || document.startsWith("\xff\xfe") || document.startsWith(QByteArray(2, '\0')))
        return false;
    if (!document.startsWith("<?xml"))
        return true;
    const QByteArray declaration = document.left(document.indexOf("?>")).toLower();
    static const QRegularExpression encoding(QStringLiteral("encoding\\s*=\\s*[\"']([^\"']*)[\"']"));
    const QRegularExpressionMatch declared = encoding.match(QString::fromLatin1(declaration));
    return !declared.hasMatch() || declared.captured(1) == QLatin1String("utf-8") ||
           declared.captured(1) == QLatin1String("utf8");
}

QList<StoryboardEntry> readEntries(QXmlStreamReader& reader, bool& damaged)
{
    reader.setNamespaceProcessing(false);
    QList<StoryboardEntry> entries;
    if (!reader.readNextStartElement()) {
        damaged = reader.hasError();
        return entries;
    }
    while (reader.readNextStartElement()) {
        const QXmlStreamAttributes attributes = reader.attributes();
        entries.append({attributes.value(QLatin1String("filePath")).toString(),
                        attributes.value(QLatin1String("settings")).toString()});
        reader.skipCurrentElement();
    }
    damaged = reader.hasError();
    if (damaged)
        qWarning().noquote() << "[StoryboardFile] read" << entries.size() << "slides, then:" << reader.errorString()
                             << "at line" << reader.lineNumber();
    return entries;
}

// The next save makes a new file.
void forgetPath()
{
    QSettings settings;
    settings.remove(pathKey);
    SettingsStore::instance().store(settings);
}

// Keeps the damaged file as it is now, before a save can replace it; the
// copy is never made over an earlier one. Where it is kept.
QString keepDamaged(const QString& path)
{
    const QFileInfo original(path);
    const QString copy =
        FileHelpers::uniqueFilePath(original.absolutePath(), original.fileName(), QStringLiteral(".damaged"));
    if (!copy.isEmpty() && QFile::copy(path, copy)) {
        qWarning().noquote() << "[StoryboardFile] the damaged storyboard is kept as" << copy;
        return copy;
    }
    // The next save makes a new file: the damaged one is never written over.
    qWarning().noquote() << "[StoryboardFile] the damaged storyboard could not be copied; it stays as" << path
                         << "and the next save makes a new file";
    forgetPath();
    return original.absoluteFilePath();
}

// Why a stored file that is there cannot be read; empty when it can.
QString unreadableReason(const QFileInfo& info)
{
    if (info.isDir())
        return QString::fromStdString(kestrel::errors::file_access_reason(EISDIR));
    // Not a FIFO or a device: opening one would wait for a writer.
    if (!info.isFile())
        return QCoreApplication::translate("ViewModel::StoryboardFile", "not a regular file");
    return QString();
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

QList<StoryboardEntry> fromXml(const QByteArray& document, bool* damaged)
{
    // The reader's decoder throws away the whole block of input around a
    // byte that is not UTF-8, with the entries in it: it only ever sees the
    // bytes before the damage.
    const qsizetype valid = isUtf8Document(document) ? utf8PrefixLength(document) : document.size();
    if (valid < document.size())
        qWarning().noquote() << "[StoryboardFile] not UTF-8 from byte" << valid << "on: read up to there";
    QXmlStreamReader reader(document.left(valid));
    bool unreadable = false;
    const QList<StoryboardEntry> entries = readEntries(reader, unreadable);
    if (damaged)
        *damaged = !document.isEmpty() && (unreadable || valid < document.size());
    return entries;
}

QList<StoryboardEntry> fromXml(QIODevice* device, bool* damaged)
{
    // In pieces: a read of the whole limit at once would reserve all of it.
    const qint64 pieceBytes = 1 << 16;
    QByteArray document;
    while (document.size() < maxDocumentBytes) {
        const QByteArray piece = device->read(qMin(pieceBytes, maxDocumentBytes - document.size()));
        if (piece.isEmpty())
            break;
        document += piece;
    }
    const QList<StoryboardEntry> entries = fromXml(document, damaged);
    if (damaged && document.size() == maxDocumentBytes && !device->atEnd())
        *damaged = true;
    return entries;
}

bool save(const QList<StoryboardEntry>& entries, SaveProblem* problem)
{
    QSettings settings;
    QString path = settings.value(pathKey).toString();
    if (path.isEmpty())
        path = newFilePath();
    QSaveFile file(path);
    // Each step's errno before anything else can change it; the old file
    // stays as it was unless the commit renames the new one over it.
    const QByteArray document = toXml(entries);
    errno = 0;
    bool written = file.open(QIODevice::WriteOnly);
    written = written && file.write(document) == document.size();
    written = written && file.commit();
    if (!written) {
        const int error = errno;
        const QString cause = storeProblem(path, error, file.errorString());
        qWarning().noquote() << "[StoryboardFile] the storyboard could not be stored:" << path << cause;
        if (problem)
            *problem = {path, cause};
        return false;
    }
    settings.setValue(pathKey, path);
    SettingsStore::instance().store(settings);
    return true;
}

QList<StoryboardEntry> load(LoadDamage* damage)
{
    const QString path = QSettings().value(pathKey).toString();
    if (damage)
        damage->path = path;
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return {};
    QFile file(path);
    QString unreadable = unreadableReason(info);
    if (unreadable.isEmpty() && !file.open(QIODevice::ReadOnly))
        unreadable = QString::fromStdString(kestrel::errors::file_access_reason(errno));
    if (!unreadable.isEmpty()) {
        qWarning().noquote() << "[StoryboardFile] the stored storyboard could not be read:" << path << unreadable
                             << "; it stays as it is and the next save makes a new file";
        forgetPath();
        if (damage)
            damage->unreadable = unreadable;
        return {};
    }
    bool damaged = false;
    const QList<StoryboardEntry> entries = fromXml(&file, &damaged);
    file.close();
    if (damaged) {
        const QString keptAt = keepDamaged(path);
        if (damage) {
            damage->damaged = true;
            damage->keptAt = keptAt;
        }
    }
    return entries;
}

} // namespace StoryboardFile
} // namespace ViewModel
