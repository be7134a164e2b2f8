#include "feedback/VersionNumber.h"

#include "feedback/EngineText.h"

#include "feeds/DTAdvertisementFeed.h"

namespace Feedback {

bool isNewerVersion(const QString& candidate, const QString& current)
{
    using kestrel::advertisement::details::parse_version;
    const auto newer = parse_version(toEngineText(candidate));
    const auto older = parse_version(toEngineText(current));
    return newer && older && *newer > *older;
}

} // namespace Feedback
