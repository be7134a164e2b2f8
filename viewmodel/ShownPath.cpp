#include "viewmodel/ShownPath.h"

#include "base/DTUtf8Text.h"

namespace ViewModel {

QString shownPath(const std::string& bytes) { return QString::fromStdString(kestrel::utf8_escaped(bytes)); }

QString shownPath(const QString& path) { return shownPath(path.toUtf8().toStdString()); }

} // namespace ViewModel
