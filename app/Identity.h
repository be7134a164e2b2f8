#pragma once
// Who the program is: the names and numbers that place its settings store,
// mark its single instance and go out with its usage events and feed
// requests. The organisation name is the maker's web domain, a build option
// (LUMIVISTA_ORGANIZATION_DOMAIN). Constants only.

namespace Application {

// The lock and hand-off segment that keep one instance per user session.
inline const char* singleInstanceKey() { return "ORVIKSLIDESHOW"; }
// What a later start hands the running instance.
inline const char* showMessage() { return "show"; }

inline const char* applicationVersion() { return "1.0.1.50"; }
inline const char* applicationName() { return "Orvik Lumivista"; }
inline const char* organizationDomain() { return LUMIVISTA_ORGANIZATION_DOMAIN; }
inline const char* windowIcon() { return ":/image/application-icon"; }
inline const char* mainView() { return "qrc:/qml/mainview.qml"; }

// The product key of the advertisement feed.
inline const char* advertisementProduct() { return "slideshow"; }
// The category of the run statistics and the view models' usage events.
inline const char* usageCategory() { return "Lumivista"; }

// The analytics account: tracking id, the host name reported with each hit
// (the maker's domain) and the domain hash of its cookie values.
inline const char* analyticsTrackingId() { return "UA-58301742-7"; }
inline const char* analyticsDomainHash() { return "173905617"; }

} // namespace Application
