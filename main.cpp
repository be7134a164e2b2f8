// The slideshow maker's entry point.

#include "app/StartUp.h"

int main(int argc, char** argv)
{
    return Application::run(argc, argv);
}
