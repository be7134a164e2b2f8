#pragma once
// One video source and one audio source with a common seek and a settings
// hook: what the preview player and the producer read a show from.

#include "base/DTBase.h"
#include "media/DTMediaSettings.h"
#include "sources/DTMediaSource.h"

#include <boost/shared_ptr.hpp>

namespace kestrel {

class av_source : public facade<av_source> {
public:
    class Impl : public impl_base {
    public:
        // Neither source is owned by the caller; the audio may be null.
        virtual video_source* video() = 0;
        virtual audio_source* audio() = 0;
        // Moves both sources to t ms.
        virtual double seek(double t) = 0;
        // Moves the pictures alone to t ms at once, never waiting for a
        // file (their reader makes them there); false, moving nothing,
        // where the source cannot.
        virtual bool move_pictures(double t);
        virtual void apply_settings(media_settings_ptr settings) = 0;
        ~Impl() override;
    };

    explicit av_source(Impl* impl) : facade(impl) {}

    video_source* video() { return impl()->video(); }
    audio_source* audio() { return impl()->audio(); }
    double seek(double t) { return impl()->seek(t); }
    bool move_pictures(double t) { return impl()->move_pictures(t); }
    void apply_settings(media_settings_ptr settings) { impl()->apply_settings(settings); }
};
typedef boost::shared_ptr<av_source> av_source_ptr;

} // namespace kestrel
