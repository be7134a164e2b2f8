#include "viewmodel/StoryboardFile.h"

#include "viewmodel/FileRefusalText.h"
#include "viewmodel/SettingsStore.h"
#include "viewmodel/StoreProblem.h"
#include "viewmodel/StoresInFlight.h"
#include "viewmodel/UnfinishedStores.h"

#include "componentmodel/FileHelpers.h"
#include "componentmodel/WholeFileWrite.h"

#include "files/DTFailureReason.h"
#include "files/DTRegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <QtDebug>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace ViewModel {
namespace StoryboardFile {

namespace {

const QString pathKey = QStringLiteral("Storyboard/slides");

// How many UTF-16 units the character at `i` takes (2 for a surrogate
// pair); 0 when XML 1.0's Char production leaves it out.
qsizetype xmlCharLength(QStringView text, qsizetype i)
{
    const char16_t c = text[i].unicode();
    if (c >= 0x20 && c < 0xD800)
        return 1;
    if (QChar::isHighSurrogate(c))
        return i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 0;
    if (QChar::isLowSurrogate(c) || c == 0xFFFE || c == 0xFFFF)
        return 0;
    return c >= 0x20 || c == '\t' || c == '\n' || c == '\r' ? 1 : 0;
}

bool isXmlText(QStringView text)
{
    for (qsizetype i = 0, length; i < text.size(); i += length)
        if ((length = xmlCharLength(text, i)) == 0)
            return false;
    return true;
}

// A value XML cannot hold is written in an attribute of its own: its
// backslashes doubled, and each UTF-16 unit that XML leaves out as a
// backslash, "u" and four hex digits.
QString withCharacterEscapes(QStringView value)
{
    QString escaped;
    escaped.reserve(value.size() + 16);
    for (qsizetype i = 0; i < value.size();) {
        const qsizetype length = xmlCharLength(value, i);
        if (length == 0)
            escaped += QStringLiteral("\\u%1").arg(value[i].unicode(), 4, 16, QLatin1Char('0'));
        else if (value[i] == u'\\')
            escaped += QLatin1String("\\\\");
        else
            escaped += value.mid(i, length);
        i += qMax<qsizetype>(length, 1);
    }
    return escaped;
}

// The UTF-16 unit of the four hex digits at `i`; -1 when they are not.
int escapedUnit(QStringView text, qsizetype i)
{
    if (i + 4 > text.size())
        return -1;
    int unit = 0;
    for (const QChar c : text.mid(i, 4)) {
        const int digit = c >= u'0' && c <= u'9'   ? c.unicode() - '0'
                          : c >= u'a' && c <= u'f' ? c.unicode() - 'a' + 10
                          : c >= u'A' && c <= u'F' ? c.unicode() - 'A' + 10
                                                   : -1;
        if (digit < 0)
            return -1;
        unit = unit * 16 + digit;
    }
    return unit;
}

// The reverse of withCharacterEscapes; a backslash that starts neither
// escape stays as it is.
QString withoutCharacterEscapes(QStringView escaped)
{
    QString value;
    value.reserve(escaped.size());
    for (qsizetype i = 0; i < escaped.size(); ++i) {
        const QChar next = i + 1 < escaped.size() ? escaped[i + 1] : QChar();
        if (escaped[i] == u'\\' && next == u'\\') {
            value += next;
            ++i;
        } else if (const int unit = escaped[i] == u'\\' && next == u'u' ? escapedUnit(escaped, i + 2) : -1;
                   unit >= 0) {
            value += QChar(char16_t(unit));
            i += 5;
        } else {
            value += escaped[i];
        }
    }
    return value;
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

// The names of an entry's attribute: as it is, and escaped.
struct AttributeNames {
    const char* plain;
    const char* escaped;
};
const AttributeNames filePathNames{"filePath", "escapedFilePath"};
const AttributeNames settingsNames{"settings", "escapedSettings"};

// Appends ` name="value"`, under the escaped name when XML cannot hold the
// value as it is.
void appendAttribute(QByteArray& out, const AttributeNames& names, const QString& value)
{
    const bool plain = isXmlText(value);
    out.append(' ').append(plain ? names.plain : names.escaped).append("=\"");
    appendEscaped(out, plain ? value : withCharacterEscapes(value));
    out.append('"');
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

// An entry's value: the attribute of its name, or where that is absent the
// escaped one, unescaped; empty when neither is there.
QString attributeValue(const QXmlStreamAttributes& attributes, const AttributeNames& names)
{
    const QLatin1String plain(names.plain);
    if (attributes.hasAttribute(plain))
        return attributes.value(plain).toString();
    return withoutCharacterEscapes(attributes.value(QLatin1String(names.escaped)));
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
        entries.append({attributeValue(attributes, filePathNames), attributeValue(attributes, settingsNames)});
        reader.skipCurrentElement();
    }
    damaged = reader.hasError();
    if (damaged)
        qWarning().noquote() << "[StoryboardFile] read" << entries.size() << "slides, then:" << reader.errorString()
                             << "at line" << reader.lineNumber();
    return entries;
}

// The next save makes a new file.
void forgetPath() { SettingsStore::instance().remove(pathKey); }

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

// Opens the stored file for reading as media files are opened: only a
// regular file, looked at first, never a pipe, a device or a terminal. Why
// it cannot be read; empty when `file` is open.
QString openStoredFile(const QString& path, QFile& file)
{
    kestrel::refused_file refusal;
    const int fd = kestrel::open_regular_file(QFile::encodeName(path).toStdString(), &refusal);
    if (fd < 0)
        return refusalText(refusal);
    if (file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return QString();
    ::close(fd);
    return file.errorString();
}

// The per-user data folder, made with its parents.
QString dataFolder()
{
    const QString folder = QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).absolutePath();
    // A folder that cannot be made shows as the failed open that follows.
    QDir().mkpath(folder);
    return folder;
}

// A new file for the storyboard, named by a fresh UUID.
QString newFilePath()
{
    return dataFolder() + QLatin1Char('/') + FileHelpers::createUniqueId(QStringLiteral(".xml"));
}

// What stands at the path, in words, when it is no file the storyboard may
// go to; empty where nothing or a regular file stands. A link is never
// taken: it would lead the writing elsewhere.
QString standsInTheWay(const QString& path)
{
    struct stat status;
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0) {
        const int error = errno;
        return error == ENOENT ? QString()
                               : QStringLiteral("cannot be looked at: ") +
                                     QString::fromStdString(kestrel::errors::file_access_reason(error));
    }
    if (S_ISLNK(status.st_mode))
        return QStringLiteral("a link");
    return S_ISREG(status.st_mode) ? QString() : QString::fromLatin1(kestrel::file_kind_words(status.st_mode));
}

// The file every run whose settings are kept out shares, since no stored
// path reaches the next such run: "storyboard.xml" in the data folder, or
// while something else stands there "storyboard-2.xml", so that each start
// finds what the last one stored; a fresh file only when neither can serve.
QString sharedFilePath()
{
    const QString folder = dataFolder();
    const QString names[] = {QStringLiteral("storyboard.xml"), QStringLiteral("storyboard-2.xml")};
    for (const QString& name : names) {
        const QString path = folder + QLatin1Char('/') + name;
        const QString inTheWay = standsInTheWay(path);
        if (inTheWay.isEmpty())
            return path;
        qWarning().noquote() << "[StoryboardFile] the storyboard of this run is not stored in" << path
                             << "(" + inTheWay + ")";
    }
    const QString fresh = newFilePath();
    qWarning().noquote() << "[StoryboardFile] the storyboard of this run goes to" << fresh;
    return fresh;
}

// The stored path. While the settings are kept out none is stored at
// first: the shared file is taken and stored at once, so that this run's
// saves go where its storyboard came from, unless load forgets it.
QString storedPath()
{
    QSettings settings;
    QString path = settings.value(pathKey).toString();
    if (path.isEmpty() && SettingsStore::instance().keepsOut()) {
        path = sharedFilePath();
        settings.setValue(pathKey, path);
        SettingsStore::instance().store(settings);
    }
    return path;
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
    for (const StoryboardEntry& entry : entries) {
        document.append("    <Slide");
        appendAttribute(document, settingsNames, entry.settings);
        appendAttribute(document, filePathNames, entry.filePath);
        document.append("/>\n");
    }
    return entries.isEmpty() ? QByteArray("<Slides/>\n") : document.append("</Slides>\n");
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
    const StoreInFlight inFlight;
    QSettings settings;
    QString path = settings.value(pathKey).toString();
    if (path.isEmpty())
        path = newFilePath();
    // The old file stays as it was unless the new one reached the disk whole.
    if (const int error = ComponentModel::writeWholeFile(path, toXml(entries))) {
        const QString cause = storeProblem(path, error, QString());
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
    const QString path = storedPath();
    if (damage)
        damage->path = path;
    if (!path.isEmpty())
        removeUnfinishedStores(path);
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return {};
    QFile file;
    const QString unreadable = openStoredFile(path, file);
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
