#pragma once
// The program started to help its window, never by the user: as a file
// chooser (mvvm/FileChooser.h), "lumivista --choose-file <request>", as the
// sound output (multimedia/SoundProcess.h), or as the launcher both are
// started from (componentmodel/ProgramLauncher.h). A chooser has the
// program's name and icon and Qt's catalogue for the system's language,
// and makes its looks (componentmodel/PatientLook.h) as the program makes
// its file calls, with the library, counted per file system; nothing else
// of the program starts: no instance lock, no settings, no services. Main
// thread: run() starts it (StartUp.h).

#include <functional>

class QFileDialog;

namespace Application {

bool startedAsHelper(int argc, char** argv);

// The helper's exit status; `whenShown` as for Mvvm::runFileChooser.
int runHelper(int argc, char** argv, const std::function<void(QFileDialog&)>& whenShown = {});

// The launcher the file choosers and the sound output are started from,
// made before the program holds files that may not answer.
void startProgramLauncher();

} // namespace Application
