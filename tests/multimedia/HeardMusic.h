#pragma once
// The clock music of MusicFiles.h as a JackListener heard it, pinned down
// by the frame: each sample heard tells the music's 10 ms step, and the
// music moves on at the server's rate, so a few steps tell where it stands
// to within the listener's stride. Around a cycle that the server reported
// missed (an xrun: the server or a client came late on a busy machine)
// what was heard says nothing of the program: nothing is measured there
// (none), while a measure that finds the music jumping is NaN.

#include "multimedia/JackListener.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

namespace Multimedia {
namespace test {

class HeardMusic {
public:
    using Clock = JackListener::Clock;
    using Heard = JackListener::Heard;

    static bool silent(const Heard& h) { return h.musicMs < 0.0; }

    explicit HeardMusic(const JackListener& ears) : heard_(ears.heard()), xruns_(ears.xruns()), rate_(ears.rate())
    {
    }

    const std::vector<Heard>& heard() const { return heard_; }

    // Where the sound heard in [from, to) stopped last, in the music's ms.
    std::optional<double> whereItStopped(Clock::time_point from, Clock::time_point to) const
    {
        for (std::size_t i = firstFrom(to); i > firstFrom(from); --i)
            if (!silent(heard_[i - 1]))
                return musicAtEdge(i - 1, -1);
        return std::nan("");
    }
    // Where the sound heard in [from, to) started first.
    std::optional<double> whereItStarted(Clock::time_point from, Clock::time_point to) const
    {
        for (std::size_t i = firstFrom(from); i < firstFrom(to); ++i)
            if (!silent(heard_[i]))
                return musicAtEdge(i, +1);
        return std::nan("");
    }
    // How long the sound heard in [from, to) was silent, in ms, after the
    // music near `targetMs` first came: a hole in it. NaN when it never
    // came.
    std::optional<double> silenceAfterItCame(Clock::time_point from, Clock::time_point to, double targetMs) const
    {
        if (!regular(from, to))
            return std::nullopt;
        const std::size_t end = firstFrom(to);
        std::size_t i = firstFrom(from);
        while (i < end && !(heard_[i].musicMs >= targetMs - 20.0 && heard_[i].musicMs < targetMs + 500.0))
            ++i;
        if (i == end)
            return std::nan("");
        const std::uint64_t came = heard_[i].frame;
        double silence = 0.0;
        for (; i < end; ++i)
            if (silent(heard_[i]) && msOfFrames(double(heard_[i].frame - came)) >= ringingMs)
                silence += msOfFrames(JackListener::stride);
        return silence;
    }

private:
    // Sound that comes after silence may ring in the resampler a moment.
    static constexpr double ringingMs = 2.0;
    // How much sound a measure of where the music stands looks at, and how
    // far from it a missed cycle reported may have touched it.
    static constexpr double lookMs = 25.0;
    static constexpr double xrunReachMs = 50.0;

    std::size_t firstFrom(Clock::time_point at) const
    {
        return std::size_t(std::lower_bound(heard_.begin(), heard_.end(), at,
                                            [](const Heard& h, Clock::time_point t) { return h.at < t; }) -
                           heard_.begin());
    }
    double msOfFrames(double frames) const { return frames * 1000.0 / rate_; }
    bool regular(Clock::time_point from, Clock::time_point to) const
    {
        const auto reach =
            std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::milli>(xrunReachMs));
        return std::none_of(xruns_.begin(), xruns_.end(),
                            [&](Clock::time_point xrun) { return xrun >= from - reach && xrun <= to + reach; });
    }
    // Where the music stands at the edge of a stretch of sound at sample
    // `edge`, the stretch going on `inwards` (+1 or -1): told by lookMs of
    // the sound heard without a break from it (past the ringing at its
    // start), then moved half a stride outwards, as the edge lies between
    // two samples heard.
    std::optional<double> musicAtEdge(std::size_t edge, int inwards) const
    {
        const double skipMs = inwards > 0 ? ringingMs : 0.0;
        double low = -1e300, high = 1e300;
        Clock::time_point first = heard_[edge].at, last = first;
        for (long i = long(edge); i >= 0 && i < long(heard_.size()); i += inwards) {
            const Heard& h = heard_[std::size_t(i)];
            if (silent(h))
                break;
            const double shift = msOfFrames(double(std::int64_t(h.frame - heard_[edge].frame)));
            if (std::abs(shift) > skipMs + lookMs)
                break;
            first = std::min(first, h.at);
            last = std::max(last, h.at);
            if (std::abs(shift) >= skipMs) {
                low = std::max(low, h.musicMs - shift);
                high = std::min(high, h.musicMs + 10.0 - shift);
            }
        }
        if (!regular(first, last))
            return std::nullopt;
        if (low > high)
            return std::nan("");
        return (low + high) / 2.0 - inwards * msOfFrames(JackListener::stride / 2.0);
    }

    const std::vector<Heard> heard_;
    const std::vector<Clock::time_point> xruns_;
    const double rate_;
};

} // namespace test
} // namespace Multimedia
