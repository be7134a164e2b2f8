#pragma once
// What the program and its sound process (SoundProcess.h) say to each
// other: the program's asks and the sound to play on the process's standard
// input, the answers and a word from each callback on its standard output.
// A message is a header and `size` bytes. Every message of the sound
// process fits in one write to a pipe (PIPE_BUF), so that its callback's
// words and its answers never interleave. Any thread; no Qt.

#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

namespace Multimedia {
namespace SoundMessages {

enum class Ask : std::uint32_t {
    Look = 1, // is there an output device: 1 or 0
    Open,     // a stream on the default device: the rate it plays at, Hz
    Start,    // payload: the epoch whose sound plays from now on, what was
              // queued dropped; the stream is started the first time.
              // Answers the frames of the epoch before that the stream
              // took: all that is heard of it
    Abort,    // stops at once, dropping the sound queued
    Close,
    IsActive, // 1 or 0
    Frames,   // tag: the epoch; payload: stereo float frames
};

enum class Tell : std::uint32_t {
    Answer = 1, // tag: the ask's; payload: Answer, then why it failed
    Played,     // tag: the epoch (0: none); payload: Played
};

struct Header {
    std::uint32_t kind;
    std::uint32_t size; // of what follows
    std::uint64_t tag;  // an ask's number, or an epoch
};

struct Answer {
    // The answer; failed or formatRefused: the text after says why.
    std::int32_t value;
};
const std::int32_t failed = -1;
const std::int32_t formatRefused = -2; // the output takes none of the formats offered

// One callback, sent for every one, so that a stream that no longer calls
// back is seen: frames `before` .. `after` of the epoch's sound were taken
// (what was missing played as silence), and the first of them is heard at
// `heardAtNs` on the steady clock, which is the machine's, not the
// process's.
struct Played {
    std::uint64_t before;
    std::uint64_t after;
    std::int64_t heardAtNs;
    std::uint32_t frames; // the callback's
};

const int channels = 2;
// A message larger than this is a broken peer's.
const std::uint32_t sizeBound = 1 << 20;
// The most an answer's text takes, so that the answer fits in one write.
const std::size_t textBound = 1024;

inline std::vector<char> message(std::uint32_t kind, std::uint64_t tag, const void* payload, std::size_t size,
                                 const void* more = nullptr, std::size_t moreSize = 0)
{
    const Header header{kind, std::uint32_t(size + moreSize), tag};
    std::vector<char> bytes(sizeof header + size + moreSize);
    std::memcpy(bytes.data(), &header, sizeof header);
    if (size)
        std::memcpy(bytes.data() + sizeof header, payload, size);
    if (moreSize)
        std::memcpy(bytes.data() + sizeof header + size, more, moreSize);
    return bytes;
}

enum class Taken { None, Whole, Broken };

// Takes the first whole message out of `bytes` into `header` and `payload`:
// None while none is whole, Broken as soon as the header is not one that
// `fits` (a kind and size of the peer's words) or says more than sizeBound.
template <class Fits>
Taken takeMessage(std::vector<char>& bytes, Header& header, std::vector<char>& payload, Fits fits)
{
    if (bytes.size() < sizeof header)
        return Taken::None;
    std::memcpy(&header, bytes.data(), sizeof header);
    if (header.size > sizeBound || !fits(header))
        return Taken::Broken;
    if (bytes.size() < sizeof header + header.size)
        return Taken::None;
    payload.assign(bytes.begin() + sizeof header, bytes.begin() + sizeof header + header.size);
    bytes.erase(bytes.begin(), bytes.begin() + sizeof header + header.size);
    return Taken::Whole;
}

// The sound process's words as the program takes them.
inline bool fitsTell(const Header& header)
{
    switch (Tell(header.kind)) {
    case Tell::Answer:
        return header.size >= sizeof(Answer) && header.size <= sizeof(Answer) + textBound;
    case Tell::Played:
        return header.size == sizeof(Played);
    }
    return false;
}

inline std::int64_t steadyNs(std::chrono::steady_clock::time_point at)
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(at.time_since_epoch()).count();
}

} // namespace SoundMessages
} // namespace Multimedia
