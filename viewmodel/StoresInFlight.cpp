#include "viewmodel/StoresInFlight.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

namespace ViewModel {

namespace {

std::atomic<int> storesWritten{0};

// QSaveFile's temporary name: "<name>." and six of QTemporaryFile's random
// letters or digits.
bool isTemporaryNameOf(const QString& candidate, const QString& name)
{
    const int randomLength = 6;
    if (candidate.size() != name.size() + 1 + randomLength || !candidate.startsWith(name + QLatin1Char('.')))
        return false;
    for (int i = name.size() + 1; i < candidate.size(); ++i) {
        const QChar c = candidate[i];
        if (!((c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
              (c >= QLatin1Char('0') && c <= QLatin1Char('9'))))
            return false;
    }
    return true;
}

} // namespace

StoreInFlight::StoreInFlight() { storesWritten.fetch_add(1); }

StoreInFlight::~StoreInFlight() { storesWritten.fetch_sub(1); }

bool storeInFlight() { return storesWritten.load() > 0; }

void removeUnfinishedStores(const QString& path)
{
    const QFileInfo file(path);
    const QString name = file.fileName();
    if (name.isEmpty())
        return;
    const QDir folder = file.absoluteDir();
    for (const QString& candidate : folder.entryList({name + QStringLiteral(".??????")},
                                                     QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks)) {
        const QByteArray leftover = QFile::encodeName(folder.filePath(candidate));
        struct stat status;
        if (isTemporaryNameOf(candidate, name) && ::lstat(leftover.constData(), &status) == 0 &&
            S_ISREG(status.st_mode))
            ::unlink(leftover.constData());
    }
}

} // namespace ViewModel
