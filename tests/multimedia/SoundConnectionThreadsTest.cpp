// The program's end of a sound process (multimedia/SoundConnection.h) that
// breaks the words between them: one that dies in the middle of its
// answer, one that answers with bytes that are no word, one whose header
// says more than any word holds. The ask fails at once rather than at the
// end of its bound, the process is ended, and every later ask fails at once.

#include "multimedia/SoundConnection.h"

#include "support/TestFiles.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>

using Multimedia::SoundMessages::Ask;

TEST(SoundConnectionSeams, AnAskToAProcessThatBreaksItsWordsFailsAtOnceAndTheProcessIsEnded)
{
    const std::chrono::milliseconds askBound(6000);
    const kestrel::test::TempDir dir;
    const std::string starts = dir.file("starts");
    ::setenv("LUMIVISTA_TEST_SOUND_STARTS", starts.c_str(), 1);
    for (const char* fault : {"dies", "garbage", "too-large"}) {
        SCOPED_TRACE(fault);
        ::setenv("LUMIVISTA_TEST_SOUND_FAULT", fault, 1);
        kestrel::test::write_file(starts, "");
        Multimedia::SoundConnection connection(QStringLiteral(LUMIVISTA_TEST_SOUND));
        // However slowly the machine starts the process, it is at its work.
        QElapsedTimer started;
        started.start();
        while (kestrel::test::read_file(starts).empty() && started.elapsed() < 30000)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        QElapsedTimer asked;
        asked.start();
        EXPECT_THROW(connection.ask(Ask::Look, askBound), std::runtime_error);
        EXPECT_LT(asked.elapsed(), askBound.count() / 2) << "the ask waited for what never comes";
        EXPECT_TRUE(connection.ended());
        asked.restart();
        EXPECT_THROW(connection.ask(Ask::IsActive, askBound), std::runtime_error);
        EXPECT_LT(asked.elapsed(), 100);
    }
    ::unsetenv("LUMIVISTA_TEST_SOUND_FAULT");
    ::unsetenv("LUMIVISTA_TEST_SOUND_STARTS");
}
