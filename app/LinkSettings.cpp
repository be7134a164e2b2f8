#include "app/LinkSettings.h"

#include "feeds/DTServiceAddress.h"

#include <QSettings>

namespace Application {

namespace {

const QString sourceTag = QStringLiteral("?source=orvik-lumivista");

QString configured(const char* variable, const char* buildDefault)
{
    const QString value = qEnvironmentVariable(variable);
    return value.isEmpty() ? QString::fromUtf8(buildDefault) : value;
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
        withoutTrailingSlash(configured("LUMIVISTA_FEEDBACK_BASE", LUMIVISTA_FEEDBACK_BASE_DEFAULT));
    const QString mailbox = configured("LUMIVISTA_SUPPORT_MAILBOX", LUMIVISTA_SUPPORT_MAILBOX_DEFAULT);
    return {
        {QStringLiteral("mailSupport"), QStringLiteral("mailto:") + mailbox},
        {QStringLiteral("web"), site + sourceTag},
        {QStringLiteral("webHelp"), site + QStringLiteral("/howto/howto-make-sladeshow") + sourceTag},
        {QStringLiteral("webThanks"), site + QStringLiteral("/thanks-for-installing") + sourceTag},
        {QStringLiteral("webFeedback"), feedback + sourceTag},
        {QStringLiteral("webNotification"), QString::fromStdString(kestrel::services::notification_feed_url())},
        {QStringLiteral("webFacebook"), configured("LUMIVISTA_FACEBOOK_PAGE", LUMIVISTA_FACEBOOK_PAGE_DEFAULT)},
        {QStringLiteral("webTwitter"), configured("LUMIVISTA_TWITTER_PAGE", LUMIVISTA_TWITTER_PAGE_DEFAULT)},
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
