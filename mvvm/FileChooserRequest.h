#pragma once
// What the window asks of the file chooser, the program started again in a
// process of its own to show one file dialog (FileChooserProcess.h,
// FileChooser.h), and the words the chooser answers with on its standard
// output, one a line:
//   process <pid>  first of all: the chooser's process
//   alive          its window's thread turned: the answer to each ask, a
//                  byte the window writes on the chooser's input
//   window <id>    the dialog's own window (X11), before it is up
//   shown          the dialog is up
//   lost           another program destroyed the dialog's window or took
//                  it off the screen: it closes without a choice
//   file <path>    a path chosen
//   folder <path>  the folder to remember for the next dialog: the chosen
//                  folder, or the first chosen file's, canonical where its
//                  real path answered
//   end            the answer is complete, said before the dialog's window
//                  leaves the screen: the words before it, no file when the
//                  dialog was cancelled
// A path is UTF-8 percent-encoded (no space, no line end). Any thread.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace Mvvm {

struct FileChooserRequest {
    enum Mode { OpenOne, OpenMany, Save, Folder };

    Mode mode = OpenOne;
    QString title;
    QString filters; // Qt's filter text ("Images (*.jpg *.jpeg)"), may be empty
    // The window the dialog belongs to, where the window system names one
    // (X11); 0 for none.
    quint64 transientFor = 0;
    // Where the dialog may start, the first whose listing answers; else the
    // root folder.
    QStringList startFolders;

    // The words that follow the chooser's option on its command line.
    QStringList arguments() const;
    // The request those words make; nothing when they make none.
    static std::optional<FileChooserRequest> fromArguments(const QStringList& arguments);
};

// The option that starts the program as a file chooser.
extern const char* const fileChooserOption;

// The line of `word` ("file", "folder") for `path`.
QByteArray pathLine(const char* word, const QString& path);
// The path of a line of `word`; nothing when `line` is no such line.
std::optional<QString> pathOfLine(const char* word, const QByteArray& line);

} // namespace Mvvm
