#pragma once
// A JACK dummy server (support/JackDummyServer.h) for the players of a test:
// as it goes, it first waits (10 s at most) until every player's stream
// thread has ended, let go ones included, since PortAudio's JACK host API
// ends the process when its server goes while it starts or ends.

#include "multimedia/StreamThread.h"
#include "support/JackDummyServer.h"

#include <chrono>
#include <thread>

namespace Multimedia {
namespace test {

class PlayersJackServer : public kestrel::test::jack_dummy_server {
public:
    using jack_dummy_server::jack_dummy_server;
    ~PlayersJackServer()
    {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (StreamThread::alive() > 0 && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
};

} // namespace test
} // namespace Multimedia

// What the tests of a server's end and of the sound's timing check is the
// program's life and its clock, which the two other builds see; slowed by
// the race checker beside a JACK server and a sound process, their bounds
// would measure the checker.
#if defined(__SANITIZE_THREAD__)
#define skipUnderTheRaceChecker() GTEST_SKIP() << "run in the builds without the race checker"
#else
#define skipUnderTheRaceChecker() (void)0
#endif
