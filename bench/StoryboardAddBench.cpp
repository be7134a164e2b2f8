// A camera's folder dropped on the storyboard: adds a folder of photos
// through the storyboard view model and prints
//   ready    the time from the drop until every thumbnail is published
//   add      how long the drop's own call took (the folder is walked on
//            another thread)
//   stall    the longest time the GUI thread's event loop did not run
//   peak     the process's peak memory from the drop on (VmHWM)
//
//   lumivista_storyboard_bench [photos] [distinct] [smooth|detailed]
//
// Defaults: 1000 photos, copies of 50 generated 12-megapixel (4000x3000)
// JPEGs with camera-like detail (about 2.6 bits per pixel). The copies are
// freshly written, so they are read from the page cache. Targets on 8
// cores: ready within 3 s, no stall over 50 ms, peak at most 300 MB.

#include "viewmodel/StoryboardViewModel.h"

#include "NumberArguments.h"
#include "ProcessMemory.h"

#include "componentmodel/ImageProvider.h"
#include "slideshow2/DTGilSlideshow.h"
#include "support/TestJpeg.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

bool make_photos(const QString& originals_folder, const QString& folder, int photos, int distinct, bool detailed) {
    const int width = 4000, height = 3000;
    QDir().mkpath(originals_folder);
    QDir().mkpath(folder);
    QStringList originals;
    for (int i = 0; i < distinct; ++i) {
        kestrel::test::jpeg_options options;
        options.width = width;
        options.height = height;
        options.quality = 86 + i % 10;
        const std::string bytes =
            kestrel::test::make_jpeg(options, kestrel::test::photo_like_painter(width, height, detailed));
        const QString path = QStringLiteral("%1/original-%2.jpg").arg(originals_folder).arg(i);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()))
            return false;
        originals << path;
    }
    for (int i = 0; i < photos; ++i) {
        if (!QFile::copy(originals[i % distinct], QStringLiteral("%1/photo-%2.jpg").arg(folder).arg(i, 4, 10, QLatin1Char('0'))))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const command_line::arguments line(
        argc, argv,
        {"lumivista_storyboard_bench", "[photos] [distinct] [smooth|detailed]",
         "Drops a camera's folder on the storyboard: makes `distinct` 12-megapixel JPEGs, copies them into\n"
         "one folder of `photos` files, adds the folder through the storyboard view model offscreen and\n"
         "prints the time until every thumbnail is ready, the drop's own call, the longest stall of the GUI\n"
         "thread's event loop and the peak memory from the drop on. Making the photos takes about a minute.\n"
         "  photos    files in the folder, 1 to 100000 (default 1000)\n"
         "  distinct  different photos among them, 1 to 1000 (default 50)\n"
         "  smooth|detailed  smooth photos (about 0.3 bits per pixel) or camera-like ones (about 2.6;\n"
         "            the default)\n",
         0, 3});
    if (line.ended())
        return line.exit_status();
    const std::optional<int> photos_given = bench::whole_number(line, 0, "photos", 1000, 1, 100000);
    const std::optional<int> distinct_given = bench::whole_number(line, 1, "distinct", 50, 1, 1000);
    const std::string kind = line.at(2, "detailed");
    if (kind != "smooth" && kind != "detailed")
        line.refuse("the photos are \"smooth\" or \"detailed\", not \"" + kind + "\"");
    if (!photos_given || !distinct_given || (kind != "smooth" && kind != "detailed"))
        return command_line::exit_usage;
    const int photos = *photos_given, distinct = *distinct_given;
    const bool detailed = kind == "detailed";

    QTemporaryDir work;
    if (!work.isValid())
        return 2;
    // The storyboard saves where the user's would be: keep it in here.
    qputenv("XDG_CONFIG_HOME", (work.path() + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_DATA_HOME", (work.path() + QStringLiteral("/data")).toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("lumivista-bench"));
    QApplication::setApplicationName(QStringLiteral("lumivista-bench"));

    const QString folder = work.path() + QStringLiteral("/camera/DCIM");
    QElapsedTimer clock;
    clock.start();
    std::printf("making %d %s 4000x3000 JPEGs and %d copies...\n", distinct, detailed ? "detailed" : "smooth", photos);
    std::fflush(stdout);
    if (!make_photos(work.path() + QStringLiteral("/originals"), folder, photos, distinct, detailed)) {
        std::fprintf(stderr, "could not write the photos\n");
        return 2;
    }
    std::printf("made in %.1f s\n", clock.elapsed() / 1000.0);

    kestrel::slideshow2::slideshow_ptr show = kestrel::slideshow2::create_gil_slideshow();
    auto provider = QSharedPointer<ComponentModel::ImageProvider>::create();
    auto storyboard = std::make_unique<ViewModel::StoryboardViewModel>(show, provider);

    // The loop's pulse: a timer due every millisecond; the longest gap
    // between two of its runs is the longest the loop was held up.
    QElapsedTimer pulse;
    qint64 last = 0, stall = 0, stall_end = 0;
    QTimer meter;
    meter.setTimerType(Qt::PreciseTimer);
    meter.setInterval(1);
    QObject::connect(&meter, &QTimer::timeout, [&] {
        const qint64 now = pulse.nsecsElapsed();
        if (now - last > stall) {
            stall = now - last;
            stall_end = now;
        }
        last = now;
    });

    QEventLoop loop;
    qint64 add_ms = -1, ready_ms = -1, drop_ns = 0;
    QObject::connect(storyboard.get(), &ViewModel::StoryboardViewModel::loadingChanged, [&](bool loading) {
        if (loading || ready_ms >= 0)
            return;
        ready_ms = clock.elapsed();
        // A little longer, so the save that follows is measured too.
        QTimer::singleShot(300, &loop, &QEventLoop::quit);
    });
    QTimer::singleShot(0, [&] {
        bench::reset_peak_memory();
        clock.restart();
        drop_ns = pulse.nsecsElapsed();
        storyboard->addSlide(folder);
        add_ms = clock.elapsed();
    });
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    pulse.start();
    meter.start();
    loop.exec();
    meter.stop();

    int thumbnails = 0;
    const int slides = storyboard->slideList()->count();
    for (int i = 0; i < slides; ++i)
        thumbnails += !static_cast<ViewModel::SlideViewModel*>(storyboard->slideList()->at(i).data())->photoId().isEmpty();
    std::printf("slides %d, thumbnails %d of %d photos, %d workers\n", slides, thumbnails, photos,
                QThread::idealThreadCount());
    std::printf("ready  %8.3f s   (target 3 s)\n", ready_ms / 1000.0);
    std::printf("add    %8.1f ms  (the drop's own call)\n", double(add_ms));
    std::printf("stall  %8.1f ms  (target 50 ms; longest gap of a 1 ms timer, ended at %.3f s)\n", stall / 1e6,
                (stall_end - drop_ns) / 1e9);
    std::printf("peak   %8.1f MB  (target 300 MB; now %.1f MB)\n", bench::peak_memory_mb(), bench::memory_mb("VmRSS"));
    storyboard.reset();
    return ready_ms >= 0 && thumbnails == photos ? 0 : 1;
}
