// The slideshow maker's entry point.

#include "app/StartUp.h"
#include "app/TerminationSignals.h"

int main(int argc, char** argv)
{
    // Before any thread starts, Qt's and the libraries' included.
    Application::blockTerminationSignals();
    return Application::run(argc, argv);
}
