#pragma once
// The message that names files for the user, each with why: the heading, a
// blank line, then "<path>: <reason>" a line for each of the first 20
// files (paths in the system's own separators) and "and N more" for the
// rest, so that the message never grows taller than a screen. Used for the
// files an add left out, the photos a conversion could not read and the
// damaged photos either kept.

#include <QList>
#include <QString>

#include <string>
#include <vector>

namespace kestrel {
namespace slideshow2 {
struct unreadable_photo;
}
} // namespace kestrel

namespace ViewModel {

struct NamedFile {
    QString path;
    QString reason;
};

QString fileListMessage(const QString& heading, const QList<NamedFile>& files);

// The photos of the engine's report (paths as the system's bytes, shown as
// shownPath() shows them, and UTF-8 reasons) that were drawn as far as
// they could be read (`partlyShown`), or not drawn at all, as named files.
QList<NamedFile> namedFiles(const std::vector<kestrel::slideshow2::unreadable_photo>& photos, bool partlyShown);

} // namespace ViewModel
