// The sound process as the tests start it for the preview's players, and
// the launcher it is started from: the program's own helpers alone.

#include "componentmodel/ProgramLauncher.h"
#include "multimedia/SoundProcess.h"

#include <cstring>

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], ComponentModel::launcherOption) == 0)
        return ComponentModel::runProgramLauncher();
    if (argc > 1 && std::strcmp(argv[1], Multimedia::soundProcessOption) == 0)
        return Multimedia::runSoundProcess();
    return 2;
}
