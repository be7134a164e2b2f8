// Preloaded into the program under test (LD_PRELOAD): a getaddrinfo that
// never returns for the one host name the tests point the program at, as
// when the DNS server does not answer, and says so on standard error once
// it hangs; every other name goes to the system's look-up.

#include <dlfcn.h>
#include <netdb.h>
#include <unistd.h>

#include <cstring>

extern "C" int getaddrinfo(const char* node, const char* service, const addrinfo* hints, addrinfo** found)
{
    if (node && std::strcmp(node, "never-answers.test") == 0) {
        static const char said[] = "look-up of never-answers.test hangs\n";
        if (::write(2, said, sizeof said - 1) < 0) {
            // Nothing to tell it with; hang all the same.
        }
        for (;;)
            ::sleep(1000);
    }
    typedef int (*lookup)(const char*, const char*, const addrinfo*, addrinfo**);
    static const lookup system = reinterpret_cast<lookup>(::dlsym(RTLD_NEXT, "getaddrinfo"));
    return system(node, service, hints, found);
}
