#include "app/Translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QSettings>
#include <QTranslator>

namespace Application {

QString translationLocale(const QSettings& settings)
{
    return settings.value(QStringLiteral("locale"), QLocale::system().name()).toString();
}

QString translationDirectory()
{
    return QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("translation"));
}

void loadTranslations(QTranslator& qtTranslator, QTranslator& applicationTranslator, const QString& directory,
                      const QString& locale)
{
    (void)qtTranslator.load(QStringLiteral("qt_") + locale, directory);
    if (!applicationTranslator.load(QStringLiteral("slideshow_") + locale.left(2), directory))
        (void)applicationTranslator.load(QStringLiteral("slideshow_en"), directory);
}

} // namespace Application
