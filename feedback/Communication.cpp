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
    const QString mailbox = settings.value(QStringLiteral("mailSupport")).toString();
    const QString subject = QStringLiteral("[Problem] ") + title;
    const QString body = description + QStringLiteral("\n\nApplication Name: ") +
                         QCoreApplication::applicationName() + QStringLiteral("\nApplication Version: ") +
                         QCoreApplication::applicationVersion() + QStringLiteral("\nOperating System: ") +
                         ComponentModel::Platform::platform();
    const QString address = mailbox + QStringLiteral("?subject=") + percentEncoded(subject) +
                            QStringLiteral("&body=") + percentEncoded(body);
    // Only a mail address: the setting is a file the user can edit.
    if (!mailbox.startsWith(QLatin1String("mailto:")) || !ComponentModel::openUrl(QUrl(address)))
        ComponentModel::openUrl(QUrl(settings.value(QStringLiteral("webFeedback")).toString()));
}

} // namespace Feedback
