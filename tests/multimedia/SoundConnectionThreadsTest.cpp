// The program's end of a sound process (multimedia/SoundConnection.h) that
// breaks the words between them: one that dies in the middle of its
// answer, one that answers with bytes that are no word, one whose header
// says more than any word holds. The ask fails at once rather than at the
// end of its bound, waiting for nothing that can never come, the process is
// ended, and every later ask fails at once too.

#include "multimedia/SoundConnection.h"

#include "support/TestFiles.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

using Multimedia::SoundMessages::Ask;

const std::chrono::milliseconds askBound(6000);

struct Fault {
    const char* name;
    const char* what; // LUMIVISTA_TEST_SOUND_FAULT
};

void PrintTo(const Fault& fault, std::ostream* os)
{
    *os << fault.what;
}

class SoundConnectionSeams : public ::testing::TestWithParam<Fault> {
protected:
    void SetUp() override
    {
        ::setenv("LUMIVISTA_TEST_SOUND_FAULT", GetParam().what, 1);
        ::setenv("LUMIVISTA_TEST_SOUND_STARTS", starts.c_str(), 1);
    }
    void TearDown() override
    {
        ::unsetenv("LUMIVISTA_TEST_SOUND_FAULT");
        ::unsetenv("LUMIVISTA_TEST_SOUND_STARTS");
    }
    // Whether the sound process has come as far as its work, however slowly
    // the machine starts it.
    bool processRuns() const
    {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (kestrel::test::read_file(starts).empty()) {
            if (std::chrono::steady_clock::now() > giveUp)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

    const kestrel::test::TempDir dir;
    const std::string starts = dir.file("starts");
};

} // namespace

TEST_P(SoundConnectionSeams, AnAskFailsAtOnceAndTheProcessIsEnded)
{
    kestrel::test::write_file(starts, "");
    Multimedia::SoundConnection connection(QStringLiteral(LUMIVISTA_TEST_SOUND));
    ASSERT_TRUE(processRuns());
    QElapsedTimer asked;
    asked.start();
    EXPECT_THROW(connection.ask(Ask::Look, askBound), std::runtime_error);
    EXPECT_LT(asked.elapsed(), askBound.count() / 2) << "the ask waited for what never comes";
    EXPECT_TRUE(connection.ended());
    asked.restart();
    EXPECT_THROW(connection.ask(Ask::IsActive, askBound), std::runtime_error);
    EXPECT_LT(asked.elapsed(), 100);
}

INSTANTIATE_TEST_SUITE_P(Faults, SoundConnectionSeams,
                         ::testing::Values(Fault{"Dies", "dies"}, Fault{"Garbage", "garbage"},
                                           Fault{"TooLarge", "too-large"}),
                         [](const ::testing::TestParamInfo<Fault>& info) { return std::string(info.param.name); });
