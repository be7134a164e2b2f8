#include "app/LinkSettings.h"

#include "feeds/DTServiceAddress.h"
#include "feeds/DTWebAddress.h"

#include <QSettings>
#include <QUrl>

namespace Application {

namespace {

const QString sourceTag = QStringLiteral("?source=orvik-lumivista");

QString configuredWebAddress(const char* variable, const char* buildDefault)
{
    return QString::fromStdString(kestrel::feeds::web_address_from_environment(variable, buildDefault));
}

// The mailbox as the one address of a "mailto:" link: every character that
// could end it or add a header ("?", "&", "%", ",", blanks) encoded.
QString mailLink(const char* variable, const char* buildDefault)
{
    QString mailbox = qEnvironmentVariable(variable);
    if (mailbox.isEmpty())
        mailbox = QString::fromUtf8(buildDefault);
    return QStringLiteral("mailto:") + QString::fromLatin1(QUrl::toPercentEncoding(mailbox, "@"));
}

QString withoutTrailingSlash(QString address)
{
    while (address.endsWith(QLatin1Char('/')))
        address.chop(1);
    return address;
}

} // namespace

LinkSettingList linkSettings()
{
    const QString site = QString::fromStdString(kestrel::services::web_base());
    const QString feedback =
        withoutTrailingSlash(configuredWebAddress("LUMIVISTA_FEEDBACK_BASE", LUMIVISTA_FEEDBACK_BASE_DEFAULT));
    return {
        {QStringLiteral("mailSupport"), mailLink("LUMIVISTA_SUPPORT_MAILBOX", LUMIVISTA_SUPPORT_MAILBOX_DEFAULT)},
        {QStringLiteral("web"), site + sourceTag},
        {QStringLiteral("webHelp"), site + QStringLiteral("/howto/howto-make-sladeshow") + sourceTag},
        {QStringLiteral("webThanks"), site + QStringLiteral("/thanks-for-installing") + sourceTag},
        {QStringLiteral("webFeedback"), feedback + sourceTag},
        {QStringLiteral("webNotification"), QString::fromStdString(kestrel::services::notification_feed_url())},
        {QStringLiteral("webFacebook"),
         configuredWebAddress("LUMIVISTA_FACEBOOK_PAGE", LUMIVISTA_FACEBOOK_PAGE_DEFAULT)},
        {QStringLiteral("webTwitter"), configuredWebAddress("LUMIVISTA_TWITTER_PAGE", LUMIVISTA_TWITTER_PAGE_DEFAULT)},
        {QStringLiteral("socialUrl"), site + QLatin1Char('/')},
        {QStringLiteral("socialReferrer"), site + QLatin1Char('/')},
        {QStringLiteral("socialVia"), QStringLiteral("Varnelo")},
    };
}

void writeLinkSettings(QSettings& settings)
{
    for (const auto& link : linkSettings())
        settings.setValue(link.first, link.second);
}

QString advertisementFeedUrl() { return QString::fromStdString(kestrel::services::advertisement_feed_url()); }

} // namespace Application
