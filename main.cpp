// The slideshow maker's entry point.

#include "app/FileChooserStart.h"
#include "app/StartUp.h"

int main(int argc, char** argv)
{
    if (Application::startedAsHelper(argc, argv))
        return Application::runHelper(argc, argv);
    return Application::run(argc, argv);
}
