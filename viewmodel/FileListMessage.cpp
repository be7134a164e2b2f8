#include "viewmodel/FileListMessage.h"

#include "viewmodel/FileRefusalText.h"
#include "viewmodel/ShownPath.h"

#include "slideshow2/DTUnreadablePhotos.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>

namespace ViewModel {

namespace {

// More than this many names would make the message taller than a screen.
const int mostNamedFiles = 20;

QString translated(const char* text, int n = -1)
{
    return QCoreApplication::translate("ViewModel::FileListMessage", text, nullptr, n);
}

} // namespace

QString fileListMessage(const QString& heading, const QList<NamedFile>& files)
{
    QStringList lines;
    for (const NamedFile& file : files.mid(0, mostNamedFiles))
        lines << translated("%1: %2").arg(QDir::toNativeSeparators(file.path), file.reason);
    if (files.size() > mostNamedFiles)
        lines << translated("and %n more", int(files.size() - mostNamedFiles));
    return heading + QStringLiteral("\n\n") + lines.join(QLatin1Char('\n'));
}

QList<NamedFile> namedFiles(const std::vector<kestrel::slideshow2::unreadable_photo>& photos, bool partlyShown)
{
    QList<NamedFile> files;
    for (const kestrel::slideshow2::unreadable_photo& photo : photos)
        if (photo.partly_shown == partlyShown)
            files.append({shownPath(photo.path), refusalText({photo.refusal, photo.reason})});
    return files;
}

} // namespace ViewModel
