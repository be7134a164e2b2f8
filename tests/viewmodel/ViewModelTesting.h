#pragma once
// Helpers for the view-model tests: the application's slideshow, photos with known quadrant colours, a generated music
// file, the application's log lines, the check that the engine's
// slides and a storyboard's list agree, and stores made to fail.

#include "viewmodel/StoresInFlight.h"
#include "viewmodel/StoryboardViewModel.h"

#include "componentmodel/EventTypes.h"
#include "componentmodel/ImageProvider.h"

#include "slideshow2/DTGilSlideshow.h"
#include "slideshow2/DTSlide.h"
#include "support-qt/LogCapture.h"
#include "support-qt/QmlTesting.h"
#include "support/TestFiles.h"
#include "support/TestJpeg.h"

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSettings>
#include <QThread>

#include <cstdint>
#include <functional>
#include <iostream>
#include <string>

namespace viewmodeltest {

using kestrel::slideshow2::create_gil_slideshow;

// The settings store as on a first run.
inline void forgetLastRun()
{
    QSettings().remove(QStringLiteral("Storyboard"));
    QSettings().remove(QStringLiteral("Music"));
}

inline QString qtPath(const std::string& utf8) { return QString::fromUtf8(utf8.c_str()); }

// Quadrants red, green, blue and white (top left, top right, bottom left,
// bottom right).
inline void writePhoto(const std::string& path)
{
    kestrel::test::jpeg_options options;
    options.width = 96;
    options.height = 64;
    kestrel::test::write_file(path, kestrel::test::make_jpeg(options));
}

// The photo's file cut in the middle of its picture data, as a copy that
// stopped half way leaves it: it still decodes, grey below the cut.
inline void cutPhotoShort(const std::string& path)
{
    const std::string jpeg = kestrel::test::read_file(path);
    const std::size_t scan = jpeg.find("\xFF\xDA");
    kestrel::test::write_file(path, jpeg.substr(0, scan + (jpeg.size() - scan) / 2));
}

enum Quadrant { TopLeft, TopRight, BottomLeft, BottomRight };

// The picture's red quadrant; -1 when none is clearly red.
inline int redQuadrant(const QImage& picture)
{
    for (int q = TopLeft; q <= BottomRight; ++q) {
        const QColor c =
            picture.pixelColor(picture.width() * (q & 1 ? 3 : 1) / 4, picture.height() * (q & 2 ? 3 : 1) / 4);
        if (c.red() > 200 && c.green() < 60 && c.blue() < 60)
            return q;
    }
    return -1;
}

inline QImage thumbnail(ComponentModel::ImageProvider& photos, const QString& id)
{
    return photos.requestPixmap(id, nullptr, QSize()).toImage();
}

// A 16-bit stereo PCM wave file: half a second of a 441 Hz square wave.
inline std::string waveFile()
{
    const uint32_t rate = 44100, frames = rate / 2;
    auto le = [](uint32_t v, int bytes) { return std::string(reinterpret_cast<const char*>(&v), bytes); };
    std::string samples;
    for (uint32_t i = 0; i < frames; ++i)
        samples += le((i / 50) % 2 ? 8000 : -8000, 2) + le((i / 50) % 2 ? 8000 : -8000, 2);
    return "RIFF" + le(36 + samples.size(), 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(2, 2) + le(rate, 4) +
           le(rate * 4, 4) + le(4, 2) + le(16, 2) + "data" + le(samples.size(), 4) + samples;
}

using qmltest::LogCapture;

inline ViewModel::SlideViewModel* slideAt(const ViewModel::StoryboardViewModel& storyboard, int i)
{
    return static_cast<ViewModel::SlideViewModel*>(storyboard.slideList()->at(i).data());
}

// The file names of the storyboard's slides in order.
inline QStringList names(const ViewModel::StoryboardViewModel& storyboard)
{
    QStringList list;
    for (int i = 0; i < storyboard.slideList()->count(); ++i)
        list << QFileInfo(slideAt(storyboard, i)->filePath()).fileName();
    return list;
}

// Slide i of the engine is slide i of the list, and the list model has as
// many rows.
inline ::testing::AssertionResult listsAgree(const ViewModel::StoryboardViewModel& storyboard,
                                             const kestrel::slideshow2::slideshow_ptr& show)
{
    const int count = storyboard.slideList()->count();
    const int rows = qobject_cast<QAbstractItemModel*>(storyboard.slides())->rowCount();
    if (show->count() != std::size_t(count) || rows != count)
        return ::testing::AssertionFailure() << "engine " << show->count() << ", list " << count << ", rows " << rows;
    for (int i = 0; i < count; ++i) {
        if (show->get_slide(std::size_t(i)) != slideAt(storyboard, i)->slide())
            return ::testing::AssertionFailure() << "slide " << i << " differs";
    }
    return ::testing::AssertionSuccess();
}

// Hands the storyboard the answers of its looks at the paths chosen (made
// off the GUI thread) until none is left, and nothing else: the photos'
// openings and the storyboard's queued work wait.
inline bool looked(const ViewModel::StoryboardViewModel& storyboard)
{
    QDeadlineTimer deadline(20000);
    while (storyboard.looking()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::sendPostedEvents(nullptr, ComponentModel::EventTypes::pathLooked);
        QThread::msleep(1);
    }
    return true;
}

// The turns asked of the slide have answered (they read the photo again
// off the window's thread).
inline bool turned(const ViewModel::SlideViewModel& slide)
{
    return qmltest::waitFor([&] { return !slide.turning(); }, 20000);
}

// No photo loading any more, and the save that follows done.
inline bool settled(const ViewModel::StoryboardViewModel& storyboard)
{
    const bool done = qmltest::waitFor([&] { return !storyboard.loading(); }, 20000);
    QCoreApplication::processEvents();
    return done;
}

inline QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Whether the stores put so far (the storyboard's, on a thread of its own)
// were written within ten seconds. Runs no events.
inline bool storesWritten()
{
    QDeadlineTimer deadline(10000);
    while (ViewModel::storeInFlight()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(1);
    }
    return true;
}

// Once the saves put so far are written.
inline QString storedStoryboardPath()
{
    EXPECT_TRUE(storesWritten());
    return QSettings().value(QStringLiteral("Storyboard/slides")).toString();
}

// A way to make a store fail, and to mend it.
struct StoreFailure {
    const char* what;
    std::function<void()> fail, mend;
    QString file;      // the file the store is said to fail on
    QString cause;     // why, as said
    QString untouched; // where what was stored stays as it was while the store fails
};

inline StoreFailure readOnlyFolder(const QString& folder, const QString& file)
{
    const auto writable = [folder](bool on) {
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                          (on ? QFileDevice::WriteOwner : QFileDevice::Permissions()));
    };
    return {"a read-only folder", [=] { writable(false); }, [=] { writable(true); }, file, "the folder is read-only",
            file};
}

// Stores twice while the store fails: said once, as "<heading> in
// "<file>"" (perhaps with the disk it is on) ": <cause>." and more, with a log line "<logLine><file> <cause>"
// each time and the untouched file as it was; said again after a store
// that worked. Ends mended, with a store that worked.
inline void expectToldOncePerCause(const StoreFailure& failure, const QString& heading, const QString& logLine,
                                   QStringList& said, const std::function<void()>& store)
{
    SCOPED_TRACE(failure.what);
    const auto stored = [&] {
        store();
        QCoreApplication::processEvents();
        ASSERT_TRUE(storesWritten());
        QCoreApplication::processEvents();
    };
    said.clear();
    LogCapture log;
    failure.fail();
    const QByteArray before = readAll(failure.untouched);
    if (failure.cause == "the folder is read-only" && QFileInfo(QFileInfo(failure.file).path()).isWritable()) {
        failure.mend();
        std::cout << "[   SKIP   ] " << failure.what << ": this user writes into read-only folders (root)\n";
        return;
    }
    stored();
    stored();
    ASSERT_EQ(1, said.size());
    EXPECT_TRUE(said[0].startsWith(heading + " in \"" + failure.file + "\"") &&
                said[0].contains(": " + failure.cause + ".\n"))
        << said[0].toStdString();
    EXPECT_EQ(2, log.count(logLine + failure.file + " " + failure.cause));
    EXPECT_EQ(before, readAll(failure.untouched));
    failure.mend();
    stored();
    failure.fail();
    stored();
    failure.mend();
    stored();
    EXPECT_EQ(said, QStringList({said[0], said[0]})) << "said again after a store that worked";
}

} // namespace viewmodeltest
