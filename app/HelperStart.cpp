#include "app/HelperStart.h"

#include "app/Identity.h"
#include "app/Translations.h"

#include "viewmodel/FileRefusalText.h"
#include "viewmodel/FolderLook.h"
#include "viewmodel/UnlistableNames.h"

#include "componentmodel/PatientLook.h"
#include "componentmodel/ProgramLauncher.h"
#include "mvvm/FileChooser.h"
#include "mvvm/FileChooserProcess.h"
#include "mvvm/FileChooserRequest.h"
#include "multimedia/SoundProcess.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QLocale>
#include <QTranslator>

#include <cstring>

namespace Application {

namespace {

int runFileChooser(int argc, char** argv, const std::function<void(QFileDialog&)>& whenShown)
{
    // Qt reads options of its own from a command line ("-title", "-style"):
    // the request's words are none of them.
    // The window system names its windows (WM_CLASS) after the program's
    // file, not the "/proc/self/exe" it was started as.
    QByteArray self = QFile::encodeName(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")));
    int qtArgc = 1;
    char* qtArgv[] = {self.isEmpty() ? argv[0] : self.data(), nullptr};
    QApplication application(qtArgc, qtArgv);
    QCoreApplication::setApplicationName(QString::fromLatin1(applicationName()));
    QApplication::setWindowIcon(QIcon(QString::fromLatin1(windowIcon())));
    QTranslator qtTranslator, applicationTranslator;
    loadTranslations(qtTranslator, applicationTranslator, translationDirectory(), QLocale::system().name());
    QCoreApplication::installTranslator(&qtTranslator);
    QCoreApplication::installTranslator(&applicationTranslator);
    // Its looks are the program's file calls, counted per file system.
    ComponentModel::setLookMaker(ViewModel::patientFolderLook);
    Mvvm::setNotUtf8NameReason(ViewModel::refusalText(kestrel::file_refusal::name_not_utf8));
    Mvvm::setUnlistedNamesNote(ViewModel::unlistableNamesNote);

    QStringList request;
    for (int i = 2; i < argc; ++i)
        request << QString::fromUtf8(argv[i]);
    return Mvvm::runFileChooser(request, whenShown);
}

} // namespace

bool startedAsHelper(int argc, char** argv)
{
    return argc > 1 && (std::strcmp(argv[1], Mvvm::fileChooserOption) == 0 ||
                        std::strcmp(argv[1], ComponentModel::launcherOption) == 0 ||
                        std::strcmp(argv[1], Multimedia::soundProcessOption) == 0);
}

int runHelper(int argc, char** argv, const std::function<void(QFileDialog&)>& whenShown)
{
    if (std::strcmp(argv[1], ComponentModel::launcherOption) == 0)
        return ComponentModel::runProgramLauncher();
    if (std::strcmp(argv[1], Multimedia::soundProcessOption) == 0)
        return Multimedia::runSoundProcess();
    return runFileChooser(argc, argv, whenShown);
}

void startProgramLauncher() { Mvvm::prepareFileChoosers(); }

} // namespace Application
