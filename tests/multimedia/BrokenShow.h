#pragma once
// A show that breaks on demand, as a slideshow with an unreadable photo or
// music file would: around a working synthetic show, its sound reads, its
// picture reads and its seek can be made to throw, and its sound reads can
// be made to give up as a music file that does not answer does; a seek
// then may land short as a demuxer that cannot read on does.

#include "base/DTErrors.h"
#include "files/DTFileRefusal.h"
#include "sources/DTAVSource.h"

#include <atomic>
#include <cerrno>
#include <stdexcept>

namespace Multimedia {
namespace test {

class BrokenShow : public kestrel::av_source::Impl {
public:
    explicit BrokenShow(kestrel::av_source_ptr show)
        : show_(std::move(show)), sound_(*this), pictures_(*this)
    {
    }

    kestrel::video_source* video() override { return &pictures_; }
    kestrel::audio_source* audio() override { return &sound_; }
    double seek(double t) override
    {
        if (failSeek)
            throw std::runtime_error("cannot seek");
        // Without a word: a wait within it gives up, the sound stays where
        // it was, and its position says it moved.
        if (landShort && !soundAnswers) {
            try {
                KESTREL_THROW(kestrel::refusal_failure(kestrel::file_refusal::does_not_answer));
            } catch (const std::exception&) {
            }
            claimedMs_ = t;
            return t;
        }
        claimedMs_ = -1.0;
        return show_->seek(t);
    }
    void apply_settings(kestrel::media_settings_ptr) override {}

    bool failSound = false;
    bool failPictures = false;
    bool failSeek = false;
    std::atomic<bool> soundAnswers{true}; // may change while the sound is read
    // While the sound does not answer, a seek lands short, and reads then
    // give the sound from where it stood, as from what was read ahead.
    std::atomic<bool> landShort{false};

private:
    struct Sound : kestrel::audio_source {
        explicit Sound(BrokenShow& owner) : owner(owner) {}
        kestrel::audio_source& inner() const { return *owner.show_->audio(); }
        double duration() const override { return inner().duration(); }
        double position() const override
        {
            return owner.claimedMs_ >= 0.0 ? owner.claimedMs_.load() : inner().position();
        }
        double advance(double dt) override { return inner().advance(dt); }
        bool enabled() const override { return true; }
        void set_enabled(bool) override {}
        kestrel::audio_data_timed_ptr read(double ms) override
        {
            if (owner.failSound)
                throw std::runtime_error("the music file broke");
            if (!owner.soundAnswers && owner.claimedMs_ < 0.0)
                KESTREL_THROW(kestrel::errors::failure("does not answer") << kestrel::errinfo_errno(ETIMEDOUT));
            return inner().read(ms);
        }
        kestrel::audio_format_ptr format() const override { return inner().format(); }
        BrokenShow& owner;
    };
    struct Pictures : kestrel::video_source {
        explicit Pictures(BrokenShow& owner) : owner(owner) {}
        kestrel::video_source& inner() const { return *owner.show_->video(); }
        double duration() const override { return inner().duration(); }
        double position() const override { return inner().position(); }
        double advance(double dt) override { return inner().advance(dt); }
        bool enabled() const override { return true; }
        void set_enabled(bool) override {}
        kestrel::video_data_timed_ptr read() override
        {
            if (owner.failPictures)
                throw std::runtime_error("bad photo");
            return inner().read();
        }
        kestrel::video_format_ptr format() const override { return inner().format(); }
        double frame_rate() const override { return inner().frame_rate(); }
        BrokenShow& owner;
    };

    kestrel::av_source_ptr show_;
    std::atomic<double> claimedMs_{-1.0}; // where a seek that landed short said it went
    Sound sound_;
    Pictures pictures_;
};

} // namespace test
} // namespace Multimedia
