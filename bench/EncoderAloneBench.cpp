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

#include "DTNumberText.h"

#include "EncoderAlone.h"
#include "ProcessMemory.h"

#include <iomanip>
#include <iostream>
#include <locale>
#include <string>
#include <vector>

using namespace kestrel;

namespace {

// "W/H" or a plain number.
double parse_aspect(const std::string& text) {
    const std::string::size_type slash = text.find('/');
    if (slash == std::string::npos)
        return text::from_text<double>(text);
    return text::from_text<double>(text.substr(0, slash)) /
           text::from_text<double>(text.substr(slash + 1));
}

} // namespace

int main(int argc, char** argv) {
    try {
        const int frames = argc > 1 ? text::from_text<int>(argv[1]) : 3000;
        const double aspect = parse_aspect(argc > 2 ? argv[2] : "4/3");
        if (frames <= 0 || !(aspect > 0.1 && aspect < 10.0)) {
            std::cerr << "usage: kestrel_encoder_alone_bench [frames] [aspect]" << std::endl;
            return 2;
        }
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
