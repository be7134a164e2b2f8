#pragma once
// One video source and one audio source with a common seek and a settings
// hook: what the preview player and the producer read a show from.

#include "DTBase.h"
#include "DTMediaSettings.h"
#include "DTMediaSource.h"

#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>

namespace kestrel {

class av_source : private interface_base {
public:
    class Impl : private boost::noncopyable {
    public:
        // Neither source is owned by the caller; the audio may be null.
        virtual video_source* video() = 0;
        virtual audio_source* audio() = 0;
        // Moves both sources to t ms.
        virtual double seek(double t) = 0;
        virtual void apply_settings(media_settings_ptr settings) = 0;
        virtual ~Impl();
    };

    explicit av_source(Impl* impl) : impl_(impl) {}
    virtual ~av_source();

    video_source* video() { return impl_->video(); }
    audio_source* audio() { return impl_->audio(); }
    double seek(double t) { return impl_->seek(t); }
    void apply_settings(media_settings_ptr settings) { impl_->apply_settings(settings); }

private:
    Impl* impl_;
};
typedef boost::shared_ptr<av_source> av_source_ptr;

} // namespace kestrel
