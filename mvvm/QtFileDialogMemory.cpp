#include "mvvm/QtFileDialogMemory.h"

#include <QFileDialog>
#include <QSettings>
#include <QString>
#include <QUrl>

namespace Mvvm {

void rememberInQt(const QString& folder)
{
    // Written also when the group is missing: Qt then restores its older
    // state instead, a folder of its own among it.
    QSettings qt(QSettings::UserScope, QStringLiteral("QtProject"));
    qt.setValue(QStringLiteral("FileDialog/lastVisited"), QUrl::fromLocalFile(folder).toString());
    qt.sync();
}

void forgetInQt(QFileDialog& closed)
{
    // No folder: the process's memory is an empty address, which the next
    // dialog does not go to, and the dialog lists the drives, looking at no
    // folder.
    closed.setDirectory(QString());
}

} // namespace Mvvm
