#pragma once
// The eleven addresses of the maker's that the program keeps in its settings
// store, written at every start (a value the user changed is put back): the
// pages the Help menu opens, the thank-you page, the feedback site, the
// notification feed, the social pages and the support mailbox. The maker's
// site is kestrel::services::web_base(); the feedback site, the social pages
// and the mailbox are build options, each overridden at run time by the
// environment variable of the same name:
//   LUMIVISTA_FEEDBACK_BASE   the feedback site, without a trailing "/"
//   LUMIVISTA_FACEBOOK_PAGE   the maker's page on Facebook
//   LUMIVISTA_TWITTER_PAGE    the maker's page on Twitter
//   LUMIVISTA_SUPPORT_MAILBOX the support address (without "mailto:")
// This repository's defaults are loopback addresses and a local mailbox.
// The site is taken only as an http address, as the program fetches its
// feeds there; the feedback site and the social pages, which only the
// browser opens, as http or https addresses (kestrel/feeds DTWebAddress.h):
// another value is logged once and the build's address used. The mailbox is
// percent-encoded into its "mailto:" link, so it cannot add a subject, a
// body or a recipient.
// GUI thread (reads the environment and writes QSettings).

#include <QList>
#include <QPair>
#include <QString>

class QSettings;

namespace Application {

typedef QList<QPair<QString, QString>> LinkSettingList;

// Key and value of each link setting, in the order they are written.
LinkSettingList linkSettings();
void writeLinkSettings(QSettings& settings);

// The advertisement feed is no setting: it goes to the service directly.
QString advertisementFeedUrl();

} // namespace Application
