#include "feedback/WebAddresses.h"

#include "feeds/DTWebAddress.h"

namespace Feedback {

QString analyticsCollectorHost()
{
    return QString::fromStdString(
        kestrel::feeds::web_host_from_environment("LUMIVISTA_ANALYTICS_HOST", LUMIVISTA_ANALYTICS_HOST_DEFAULT));
}

} // namespace Feedback
