#include "support/VideoFiles.h"

#include "support/MusicFiles.h"

#include "base/DTNumberText.h"

#include <vector>

namespace kestrel {
namespace test {

void make_video_clip(const std::string& path, const video_clip& clip) {
    const std::string size = text::to_text(clip.width) + "x" + text::to_text(clip.height);
    const std::string timing =
        ":rate=" + text::to_text(clip.rate) + ":duration=" + text::to_text(clip.seconds);
    const std::string pictures = clip.colour.empty()
                                     ? "testsrc=size=" + size + timing
                                     : "color=c=" + clip.colour + ":size=" + size + timing;
    std::vector<std::string> arguments = {"-f", "lavfi", "-i", pictures};
    if (clip.sound) {
        const std::string tone = ":sample_rate=48000:duration=" + text::to_text(clip.seconds);
        arguments.insert(arguments.end(),
                         {"-f", "lavfi", "-i", "sine=frequency=440" + tone, "-f", "lavfi", "-i",
                          "sine=frequency=1000" + tone, "-filter_complex",
                          "[1:a][2:a]join=inputs=2:channel_layout=stereo[a]", "-map", "0:v",
                          "-map", "[a]", "-c:a", "aac"});
    }
    arguments.insert(arguments.end(), {"-c:v", "libx264", "-pix_fmt", "yuv420p", "-bf",
                                       text::to_text(clip.b_frames), "-g", "25", "-f",
                                       clip.container, path});
    run_ffmpeg(arguments);
}

} // namespace test
} // namespace kestrel
