#include "multimedia/AudioOutput.h"

#include "multimedia/SoundFeed.h"

namespace Multimedia {

void AudioStream::startRun(SoundFeed& feed, std::uint64_t run)
{
    abort();
    start();
    feed.beginRun(run);
}

} // namespace Multimedia
