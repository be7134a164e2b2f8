#pragma once
// The program started to help its window with a file dialog, never by the
// user: as a file chooser (mvvm/FileChooser.h), "lumivista --choose-file
// <request>", or as the launcher the choosers are started from
// (componentmodel/ProgramLauncher.h). A chooser has the program's name and
// icon and Qt's catalogue for the system's language, and makes its looks
// (componentmodel/PatientLook.h) as the program makes its file calls, with
// the library, counted per file system; nothing else of the program
// starts: no instance lock, no settings, no services. Main thread: run()
// starts it (StartUp.h).

#include <functional>

class QFileDialog;

namespace Application {

bool startedAsHelper(int argc, char** argv);

// The helper's exit status; `whenShown` as for Mvvm::runFileChooser.
int runHelper(int argc, char** argv, const std::function<void(QFileDialog&)>& whenShown = {});

// What the file dialogs need, made before the program holds files that may
// not answer: the launcher of the file choosers.
void prepareFileDialogs();

} // namespace Application
