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

class SoundProcessStream : public AudioStream {
public:
    SoundProcessStream(std::shared_ptr<SoundConnection> connection, std::shared_ptr<SoundFeed> feed)
        : connection_(std::move(connection)), feed_(std::move(feed))
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

    void start() override { connection_->start(feed_, callBound); }
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
    bool isActive() const override { return !connection_->ended() && connection_->ask(Ask::IsActive, callBound) == 1; }
    void endProcess() { connection_->end(); }

private:
    const std::shared_ptr<SoundConnection> connection_;
    const std::shared_ptr<SoundFeed> feed_;
    bool closed_ = false;
};

} // namespace

SoundProcessOutput::SoundProcessOutput(const QString& program) : program_(program) {}

SoundProcessOutput::~SoundProcessOutput() = default;

bool SoundProcessOutput::hasOutputDevice()
{
    if (!connection_ || connection_->ended())
        connection_ = std::make_shared<SoundConnection>(program_);
    return connection_->ask(Ask::Look, lookBound) == 1;
}

std::unique_ptr<AudioStream> SoundProcessOutput::openStream(const std::shared_ptr<SoundFeed>& feed)
{
    if (!hasOutputDevice())
        throw std::runtime_error("no default sound output device");
    connection_->ask(Ask::Open, callBound);
    return std::make_unique<SoundProcessStream>(connection_, feed);
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
    connection_.reset();
}

} // namespace Multimedia
