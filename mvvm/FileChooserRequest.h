#pragma once
// What the window asks of the file chooser, the program started again in a
// process of its own to show one file dialog (FileChooserProcess.h,
// FileChooser.h), and the words the chooser answers with on its standard
// output, one a line:
//   alive          its window's thread turns (about ten times a second)
//   shown          the dialog is up
//   file <path>    a path chosen, UTF-8 percent-encoded (no space, no line end)
//   end            the answer is complete: the files before it, none when
//                  the dialog was cancelled
// Any thread.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace Mvvm {

struct FileChooserRequest {
    enum Mode { OpenOne, OpenMany, Save, Folder };

    Mode mode = OpenOne;
    QString title;
    QString startFolder; // a folder whose listing answered
    QString filters;     // Qt's filter text ("Images (*.jpg *.jpeg)"), may be empty
    // The window the dialog belongs to, where the window system names one
    // (X11); 0 for none.
    quint64 transientFor = 0;

    // The words that follow the chooser's option on its command line.
    QStringList arguments() const;
    // The request those words make; nothing when they make none.
    static std::optional<FileChooserRequest> fromArguments(const QStringList& arguments);
};

// The option that starts the program as a file chooser.
extern const char* const fileChooserOption;

QByteArray fileLine(const QString& path);
// The path of a "file" line; nothing when `line` is no such line.
std::optional<QString> pathOfFileLine(const QByteArray& line);

} // namespace Mvvm
