#include "feedback/Communication.h"

#include "feedback/EngineText.h"

#include "componentmodel/DesktopLauncher.h"
#include "componentmodel/Platform.h"

#include <QCoreApplication>
#include <QSettings>
#include <QUrl>

namespace Feedback {

Communication::Communication(QObject* parent) : QObject(parent) {}

QString Communication::notSentText(const QString& mailAddress, const QString& page)
{
    if (!mailAddress.isEmpty() && !page.isEmpty())
        return tr("The desktop has no program to send the report to \"%1\" nor to open the page \"%2\".")
            .arg(mailAddress, page);
    if (!mailAddress.isEmpty())
        return tr("The desktop has no program to send the report to \"%1\".").arg(mailAddress);
    if (!page.isEmpty())
        return tr("The desktop has no program to open the page \"%1\".").arg(page);
    return tr("The report could not be sent: the settings name no mail address and no page for it.");
}

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
    const bool byMail = mailbox.startsWith(QLatin1String("mailto:"));
    const QString page = settings.value(QStringLiteral("webFeedback")).toString();
    const QString named = byMail ? mailbox.mid(int(qstrlen("mailto:"))) : QString();
    // The page once no mail program took the report, the opener that
    // failed counting as none.
    const auto tryThePage = [this, page, named] {
        const auto notSent = [this, page, named] { emit reportNotSent(notSentText(named, page)); };
        if (page.isEmpty()) {
            notSent();
            return;
        }
        ComponentModel::openUrlThen(QUrl(page), this, [notSent](bool taken) {
            if (!taken)
                notSent();
        });
    };
    if (!byMail) {
        tryThePage();
        return;
    }
    ComponentModel::openUrlThen(QUrl(address), this, [tryThePage](bool taken) {
        if (!taken)
            tryThePage();
    });
}

} // namespace Feedback
