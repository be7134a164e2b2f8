#include "feedback/WebAddresses.h"

#include <QtGlobal>

namespace Feedback {

QString analyticsCollectorHost()
{
    const QString configured = qEnvironmentVariable("LUMIVISTA_ANALYTICS_HOST");
    return configured.isEmpty() ? QStringLiteral(LUMIVISTA_ANALYTICS_HOST_DEFAULT) : configured;
}

} // namespace Feedback
