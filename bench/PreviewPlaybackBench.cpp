// Plays a show through the preview player against a JACK dummy server (a
// device that consumes sound in real time) and prints how the pictures kept
// up with the sound: pictures shown and dropped, and the drift between the
// picture on screen and the sound clock. The show is synthetic: 1280x720
// pictures made one by one on the read-ahead thread, 25 a second, and a
// 16-bit stereo tone as its music.
//
//   lumivista_preview_bench [seconds=300] [width=1280] [height=720]

#include "NumberArguments.h"

#include "multimedia/VideoPlayer.h"
#include "multimedia/VideoSurface.h"

#include "support/JackDummyServer.h"
#include "support/SyntheticShow.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct DriftStats {
    // Sound clock minus the start of the picture being put on screen, ms.
    double last = 0.0;
    double largest = 0.0;
    double sum = 0.0;
    int count = 0;
    int dropped = 0;
    int shown = 0;
    double previousStart = -1.0;

    void pictureRead(double start, qint64 clock, double pictureMs)
    {
        if (start < previousStart)
            return; // the rewind after the end
        if (previousStart >= 0.0)
            dropped += static_cast<int>(std::lround((start - previousStart) / pictureMs)) - 1;
        previousStart = start;
        ++shown;
        last = static_cast<double>(clock) - start;
        largest = std::max(largest, std::fabs(last));
        sum += last;
        ++count;
    }
};

} // namespace

int main(int argc, char** argv)
{
    const command_line::arguments line(
        argc, argv,
        {"lumivista_preview_bench", "[seconds] [width] [height]",
         "Plays a synthetic show (pictures made one by one, 25 a second, and a 16-bit stereo tone) through\n"
         "the preview player against a JACK dummy server it starts itself (jackd), painting the surface 25\n"
         "times a second, and prints the pictures shown and dropped and the drift between the sound clock\n"
         "and the picture on screen. The run takes as long as the show.\n"
         "  seconds  the show's length, 1 to 86400 (default 300)\n"
         "  width    its pictures' width, 16 to 7680 (default 1280)\n"
         "  height   their height, 16 to 4320 (default 720)\n",
         0, 3});
    if (line.ended())
        return line.exit_status();
    const std::optional<int> seconds_given = bench::whole_number(line, 0, "seconds", 300, 1, 86400);
    const std::optional<int> width = bench::whole_number(line, 1, "width", 1280, 16, 7680);
    const std::optional<int> height = bench::whole_number(line, 2, "height", 720, 16, 4320);
    if (!seconds_given || !width || !height)
        return command_line::exit_usage;
    const int seconds = *seconds_given;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    kestrel::test::show_spec spec;
    spec.width = *width;
    spec.height = *height;
    spec.duration_ms = seconds * 1000.0;
    spec.picture_ms = 40.0;
    spec.read_ahead = true;
    spec.sound_format = kestrel::audio_format::create(44100, kestrel::sample_format_s16, 2, 3);

    QGuiApplication app(argc, argv);
    kestrel::test::jack_dummy_server server;

    Multimedia::VideoPlayer player;
    Multimedia::VideoSurface surface;
    surface.setSize(QSizeF(854, 480));
    player.setSurface(&surface);

    kestrel::test::synthetic_show* show = nullptr;
    const kestrel::av_source_ptr source = kestrel::test::make_synthetic_show(spec, &show);
    DriftStats drift;
    show->on_picture_read(
        [&](double start) { drift.pictureRead(start, player.time(), spec.picture_ms); });
    player.setSource(source);
    if (player.state() != Multimedia::Player::PauseState) {
        std::fprintf(stderr, "no sound output: the JACK server %s was not found\n",
                     server.name().c_str());
        return 1;
    }

    // The window's share: the picture on screen painted 25 times a second.
    QImage screen(854, 480, QImage::Format_RGB32);
    QTimer display;
    QObject::connect(&display, &QTimer::timeout, [&] {
        QPainter painter(&screen);
        surface.paint(&painter);
    });
    display.start(40);

    qint64 lastTick = 0;
    qint64 wallAtLastTick = 0;
    QElapsedTimer wall;
    QObject::connect(&player, &Multimedia::VideoPlayer::timeChanged,
                     [&](qint64 value, bool isDeep) {
                         if (!isDeep) {
                             lastTick = value;
                             wallAtLastTick = wall.elapsed();
                         }
                     });

    QEventLoop loop;
    QObject::connect(&player, &Multimedia::VideoPlayer::completed, &loop, &QEventLoop::quit);
    QTimer::singleShot((seconds + 30) * 1000, &loop, &QEventLoop::quit);
    wall.start();
    player.play();
    loop.exec();
    const double elapsed = wall.elapsed() / 1000.0;
    display.stop();

    const int expected = static_cast<int>(std::ceil(spec.duration_ms / spec.picture_ms));
    std::printf("preview playback: %d s show, %dx%d pictures every %.0f ms, read ahead; "
                "JACK dummy 44100 Hz / 512 frames\n",
                seconds, spec.width, spec.height, spec.picture_ms);
    std::printf("frames shown:   %d of %d\n", drift.shown, expected);
    std::printf("frames dropped: %d (skipped while playing)\n", drift.dropped);
    std::printf("drift at end:   %.0f ms (sound clock minus picture start; "
                "largest %.0f ms, mean %.1f ms)\n",
                drift.last, drift.largest, drift.count ? drift.sum / drift.count : 0.0);
    std::printf("sound clock against wall clock at the last tick: %+lld ms\n",
                static_cast<long long>(lastTick - wallAtLastTick));
    std::printf("wall time:      %.1f s\n", elapsed);
    return 0;
}
