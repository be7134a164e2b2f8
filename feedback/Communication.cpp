#include "feedback/Communication.h"

#include "feedback/EngineText.h"

#include "componentmodel/DesktopLauncher.h"
#include "componentmodel/Platform.h"

#include <QCoreApplication>
#include <QSettings>
#include <QUrl>

namespace Feedback {

Communication::Communication(QObject* parent) : QObject(parent) {}

void Communication::reportProblem(const QString& title, const QString& description)
{
    QSettings settings;
    const QString pattern = settings.value(QStringLiteral("mailSupport")).toString() +
                            QStringLiteral("?subject=%1&body=%2");
    const QString subject = QStringLiteral("[Problem] ") + title;
    const QString body = description + QStringLiteral("\n\nApplication Name: ") +
                         QCoreApplication::applicationName() + QStringLiteral("\nApplication Version: ") +
                         QCoreApplication::applicationVersion() + QStringLiteral("\nOperating System: ") +
                         ComponentModel::Platform::platform();
    // Both placeholders in one pass: a "%1" inside the texts stays as it is.
    const QString address = pattern.arg(percentEncoded(subject), percentEncoded(body));
    if (!ComponentModel::openUrl(QUrl(address)))
        ComponentModel::openUrl(QUrl(settings.value(QStringLiteral("webFeedback")).toString()));
}

} // namespace Feedback
