#pragma once
// The program's translations: Qt's own catalogue "qt_<locale>" and the
// program's "slideshow_<language>" (the locale's first two letters), falling
// back to "slideshow_en", from the folder "translation" beside the
// executable. Each load uses QTranslator's search: "<name>.qm", "<name>",
// then the name cut back at each "_" or ".". The locale is the setting
// "locale" when set, else the system's (de_DE, pt_BR, ...). A missing file
// leaves that translator empty; both are installed anyway (the program's is
// asked first). GUI thread.

#include <QString>

class QSettings;
class QTranslator;

namespace Application {

QString translationLocale(const QSettings& settings);
QString translationDirectory();

// Loads both translators from `directory` for `locale`.
void loadTranslations(QTranslator& qtTranslator, QTranslator& applicationTranslator, const QString& directory,
                      const QString& locale);

} // namespace Application
