#pragma once
// A path or name from the file system (the system's bytes, UTF-8 or not)
// as the program's messages and log lines show it: UTF-8 text as it is,
// each other byte as \xNN ("caf\xe9.jpg") with the name's own backslashes
// doubled, so that no two names show alike (the media library's rule,
// base/DTUtf8Text.h). Only for showing: a file is opened by its bytes. Any
// thread.

#include <QString>

#include <string>

namespace ViewModel {

QString shownPath(const std::string& bytes);
// A path Qt holds (UTF-8 text), by the same rule: so that it shows apart
// from a name shown escaped.
QString shownPath(const QString& path);

} // namespace ViewModel
