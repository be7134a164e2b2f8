#pragma once
// Application versions "a.b.c.d" compared as four numbers (each 0 to
// 65535), so 1.0.1.50 is newer than 1.0.1.6. The advertisement feed reads
// versions the same way. Text that is not such a version is neither newer
// nor older than anything.

#include <QString>

namespace Feedback {

bool isNewerVersion(const QString& candidate, const QString& current);

} // namespace Feedback
