#include "viewmodel/SlideshowNameProblem.h"

#include "componentmodel/FileHelpers.h"

#include <QCoreApplication>
#include <QFile>

#include <climits>

#include <unistd.h>

namespace ViewModel {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ViewModel::SlideshowNameProblem", text);
}

// The number FileHelpers::uniqueFilePath puts after a taken name, at its
// longest.
const int longestNumberBytes = int(sizeof " (9999)" - 1);

int utf8Bytes(uint character)
{
    return character < 0x80 ? 1 : character < 0x800 ? 2 : character < 0x10000 ? 3 : 4;
}

int longestFileName(const QString& folder)
{
    const long asked = ::pathconf(QFile::encodeName(folder).constData(), _PC_NAME_MAX);
    return asked > 0 ? int(asked) : NAME_MAX;
}

} // namespace

QString slideshowNameProblem(const QString& name, const QString& extension, const QString& folder)
{
    const QString clean = FileHelpers::sanitizeFileName(name);
    if (clean.contains(QChar(u'\0')))
        return tr("The slideshow name holds a character that no file name may hold. Choose another name in the "
                  "settings.");
    if (clean.startsWith(u'.'))
        return tr("The slideshow name may not begin with a dot: the video would be a hidden file. Choose another "
                  "name in the settings.");
    const int room = longestFileName(folder) - int(QFile::encodeName(extension).size()) - longestNumberBytes;
    if (QFile::encodeName(clean).size() <= room)
        return QString();
    // Counted as the user counts them: a character outside the basic
    // Latin letters takes more than one byte of the room.
    const QList<uint> characters = clean.toUcs4();
    int fitting = 0;
    for (int bytes = 0; fitting < characters.size() && bytes + utf8Bytes(characters[fitting]) <= room; ++fitting)
        bytes += utf8Bytes(characters[fitting]);
    return tr("The slideshow name is too long: a file name can hold %1 of its %2 characters. Choose a shorter name "
              "in the settings.")
        .arg(fitting)
        .arg(characters.size());
}

} // namespace ViewModel
