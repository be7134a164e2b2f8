// libx264 alone, set up exactly as the producer's output presets set it up,
// encoding pictures prepared beforehand (already YUV 4:2:0): the time and
// memory that a whole production is measured against. For "mac-medium" and
// "tube-high" (the YouTube high profile) it prints the time per frame and
// the process's peak memory while that preset encoded.
//
//   kestrel_encoder_alone_bench [frames] [aspect]
//
// frames defaults to 3000 (20 slides of 6 s at 25 frames per second),
// aspect to 4/3 (the application's default frame aspect).

#include "EncoderAlone.h"
#include "NumberArguments.h"
#include "ProcessMemory.h"

#include <iomanip>
#include <iostream>
#include <locale>
#include <optional>
#include <string>
#include <vector>

using namespace kestrel;

namespace {

// "W/H" or a plain number, from 0.1 to 10 (never NaN); nothing for any
// other text.
std::optional<double> parse_aspect(const std::string& text) {
    try {
        const std::string::size_type slash = text.find('/');
        const double aspect = slash == std::string::npos ? text::from_text<double>(text)
                                                         : text::from_text<double>(text.substr(0, slash)) /
                                                               text::from_text<double>(text.substr(slash + 1));
        if (aspect >= 0.1 && aspect <= 10.0)
            return aspect;
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
    const command_line::arguments line(
        argc, argv,
        {"kestrel_encoder_alone_bench", "[frames] [aspect]",
         "Sets libx264 up exactly as the mac-medium and tube-high presets do and encodes pictures prepared\n"
         "beforehand in YUV, then prints the time per frame and the peak memory while each preset encoded:\n"
         "the reference a whole production is measured against.\n"
         "  frames  pictures encoded, 1 to 100000 (default 3000: 20 slides of 6 s at 25 a second)\n"
         "  aspect  the frame's width to its height, \"W/H\" or a number from 0.1 to 10 (default 4/3)\n",
         0, 2});
    if (line.ended())
        return line.exit_status();
    const std::optional<int> frames_given = bench::whole_number(line, 0, "frames", 3000, 1, 100000);
    const std::optional<double> aspect_given = parse_aspect(line.at(1, "4/3"));
    if (!aspect_given)
        line.refuse("aspect must be \"W/H\" or a number from 0.1 to 10, not \"" + line.at(1) + "\"");
    if (!frames_given || !aspect_given)
        return command_line::exit_usage;
    const int frames = *frames_given;
    const double aspect = *aspect_given;
    try {
        std::vector<std::pair<std::string, bench::encoder_figures>> runs;
        bool peak_reset = true;
        for (const char* preset : {"mac-medium", "tube-high"}) {
            peak_reset = bench::reset_peak_memory() && peak_reset;
            runs.emplace_back(preset, bench::encode_alone(preset, frames, aspect));
        }

        std::cout.imbue(std::locale::classic());
        std::cout << std::fixed << std::setprecision(2);
        std::cout << "libx264 alone on " << frames << " prepared frames, preset options:"
                  << std::endl;
        for (const auto& run : runs) {
            const bench::encoder_figures& f = run.second;
            std::cout << "  " << std::left << std::setw(11) << run.first << std::right
                      << std::setw(5) << f.width << "x" << f.height << std::setw(9)
                      << f.seconds * 1000.0 / frames << " ms/frame" << std::setw(9)
                      << frames / f.seconds << " fps" << std::setw(9) << f.seconds << " s"
                      << std::setw(11) << f.bytes << " bytes  peak " << f.peak_mb << " MB"
                      << std::endl;
        }
        if (!peak_reset)
            std::cout << "  (the peak could not be reset between presets: it is the "
                         "process's since start)"
                      << std::endl;
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "kestrel_encoder_alone_bench: " << e.what() << std::endl;
        return 1;
    }
}
