#include "multimedia/SoundProcessOutput.h"

#include "multimedia/SoundConnection.h"
#include "multimedia/StreamThread.h"

#include <QDebug>

#include <stdexcept>

namespace Multimedia {

namespace {

using SoundMessages::Ask;

// A look starts a process and PortAudio in it, a second or two with a
// sanitizer on a busy machine.
const std::chrono::milliseconds lookBound(10000);
// A stream's call that has not returned by then is taken for one that
// never returns: the stream thread gives up the stream.
const std::chrono::milliseconds callBound = StreamThread::hungAfter + std::chrono::milliseconds(1000);
// A started stream whose process has played nothing for this long has lost
// its output, whatever PortAudio says (ALSA's JACK device whose server
// went keeps its stream active without a callback); far beyond the gaps of
// a sound server on busy cores. (While the preview plays, the player sees
// silence sooner: AudioPlayer::silencePatience.)
const std::chrono::milliseconds silenceBound(3000);

class SoundProcessStream : public AudioStream {
public:
    SoundProcessStream(std::shared_ptr<SoundConnection> connection, std::shared_ptr<SoundFeed> feed, double rate)
        : connection_(std::move(connection)), feed_(std::move(feed)), rate_(rate)
    {
    }
    ~SoundProcessStream() override
    {
        if (closed_ || connection_->ended())
            return;
        try {
            close();
        } catch (const std::exception& error) {
            qWarning() << "[SoundProcessOutput] closing the stream failed:" << error.what();
        }
    }

    double rate() const override { return rate_; }
    // Silence until a run: the feed plays none.
    void start() override { connection_->start(feed_, 0, callBound); }
    void startRun(SoundFeed&, std::uint64_t run) override { connection_->start(feed_, run, callBound); }
    void hold() override { connection_->start(feed_, 0, callBound); }
    void abort() override
    {
        connection_->stopFeeding();
        connection_->ask(Ask::Abort, callBound);
    }
    void close() override
    {
        connection_->stopFeeding();
        closed_ = true;
        connection_->ask(Ask::Close, callBound);
    }
    // A process that has ended has ended its stream.
    bool isActive() const override
    {
        return !connection_->ended() && connection_->callsBack(silenceBound) &&
               connection_->ask(Ask::IsActive, callBound) == 1;
    }
    void endProcess() { connection_->end(); }

private:
    const std::shared_ptr<SoundConnection> connection_;
    const std::shared_ptr<SoundFeed> feed_;
    const double rate_;
    bool closed_ = false;
};

} // namespace

SoundProcessOutput::SoundProcessOutput(const QString& program) : program_(program) {}

SoundProcessOutput::~SoundProcessOutput() = default;

bool SoundProcessOutput::hasOutputDevice()
{
    if (!connection_ || connection_->ended()) {
        connection_ = std::make_shared<SoundConnection>(program_);
        found_ = false;
    }
    const bool found = connection_->ask(Ask::Look, lookBound) == 1;
    found_ = found_ || found;
    return found;
}

std::unique_ptr<AudioStream> SoundProcessOutput::openStream(const std::shared_ptr<SoundFeed>& feed)
{
    if (!hasOutputDevice())
        throw std::runtime_error("no default sound output device");
    const double rate = connection_->open(callBound);
    return std::make_unique<SoundProcessStream>(connection_, feed, rate);
}

void SoundProcessOutput::lose(std::unique_ptr<AudioStream> stream)
{
    // Whatever holds the stream holds its process alone: ended with it.
    if (auto* ours = dynamic_cast<SoundProcessStream*>(stream.get()))
        ours->endProcess();
    stream.reset();
}

void SoundProcessOutput::letGo()
{
    // A process that found no device keeps looking, at little cost; one
    // that found one knows the servers as they were: the next look is a
    // new process.
    if (found_)
        connection_.reset();
    found_ = false;
}

} // namespace Multimedia
