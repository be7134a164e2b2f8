#pragma once
// The fake sound card's callbacks in real time (FakeSoundCard::pumpDue),
// made on the window's thread while it runs (run, linger), as a device would
// ask for sound: each stream from its opening on, 512 frames a time, paused
// or playing. What it hears is music whose every sample tells its own time
// (MusicFiles' clock file): when sound was first heard since forgetSound(),
// and last, and how far at worst the music's time was from the player's
// clock that the pictures follow. GUI thread only.

#include "multimedia/FakeAudioOutput.h"

#include "multimedia/AudioPlayer.h"
#include "support/MusicFiles.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace Multimedia {
namespace test {

class RealTimeCard {
public:
    RealTimeCard(AudioPlayer& player, FakeSoundCard& card) : player_(player), card_(card) { wall_.start(); }

    // Runs the window until `done` (asked every turn) or `ms` have passed.
    bool run(const std::function<bool()>& done, int ms)
    {
        return runEventsUntil([&] {
            pump();
            return done();
        }, ms);
    }
    void linger(int ms)
    {
        run([] { return false; }, ms);
    }
    qint64 now() const { return wall_.elapsed(); }

    void forgetSound()
    {
        heardAt_ = -1;
        worstGapMs_ = 0.0;
    }
    qint64 heardAt() const { return heardAt_; }
    qint64 lastHeardAt() const { return lastHeardAt_; }
    double worstGapMs() const { return worstGapMs_; }
    // The last result of a callback other than paContinue, or paContinue.
    int streamEnded() const { return ended_; }

private:
    // The callbacks due by now.
    void pump()
    {
        card_.pumpDue(512, [this](const std::vector<float>& out, int result) {
            if (result != paContinue)
                ended_ = result;
            const qint64 clock = player_.time();
            for (std::size_t i = 0; i < out.size() / 2; i += 64) {
                const double music = kestrel::test::clock_file_ms(out[2 * i]);
                if (music < 0.0)
                    continue;
                if (heardAt_ < 0)
                    heardAt_ = wall_.elapsed();
                lastHeardAt_ = wall_.elapsed();
                const double gap = clock + i * 1000.0 / SoundReader::rate - music;
                worstGapMs_ = std::max(worstGapMs_, std::abs(gap));
            }
        });
    }

    AudioPlayer& player_;
    FakeSoundCard& card_;
    QElapsedTimer wall_;
    qint64 heardAt_ = -1;
    qint64 lastHeardAt_ = -1;
    double worstGapMs_ = 0.0;
    int ended_ = paContinue;
};

} // namespace test
} // namespace Multimedia
