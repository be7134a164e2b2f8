#pragma once
// The sound process: the program started again with soundProcessOption to
// make every call into PortAudio, so that whatever the sound library or a
// sound server does there (an assertion of PortAudio's JACK host API when
// its server went, a call that never returns) ends or holds that process
// alone. It answers the program's asks (SoundProcessMessages.h) on its
// main thread, one at a time, and plays the sound the program sends ahead
// from a queue of its own; a new epoch drops what is queued at once, says
// how much of the epoch before the stream took (what is heard of it), and
// the stream runs on from its first start. While it finds no device it
// keeps looking at little cost (SoundDeviceLooks.h); PortAudio is never
// terminated once it found one: a fresh look at the devices is then a new
// process. It ends, without a word to PortAudio, as soon as the program
// closes its standard input (the program letting it go, ending or killed)
// or says what is no word of it.

namespace Multimedia {

extern const char* const soundProcessOption;

// The process's work, over its standard input and output: its exit status.
int runSoundProcess();

} // namespace Multimedia
