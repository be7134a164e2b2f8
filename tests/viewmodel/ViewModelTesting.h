#pragma once
// Helpers for the view-model tests: the engine's slide list behind a
// slideshow facade (real slides, no renderer), photo folders made of
// generated JPEGs with known quadrant colours, a generated music file, the
// application's settings and log lines, and the check that the engine's
// slides and a storyboard's list agree.

#include "viewmodel/StoryboardViewModel.h"

#include "componentmodel/ImageProvider.h"

#include "slideshow2/DTSlide.h"
#include "support-qt/QmlTesting.h"
#include "support/ListSlideshow.h"
#include "support/TestFiles.h"
#include "support/TestJpeg.h"

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QSettings>
#include <QStringList>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace viewmodeltest {

using ListSlideshow = kestrel::test::list_slideshow;
inline kestrel::slideshow2::slideshow_ptr makeSlideshow() { return kestrel::test::make_list_slideshow(); }
inline ListSlideshow& listOf(const kestrel::slideshow2::slideshow_ptr& show) { return kestrel::test::list_of(show); }

// The application's settings and data folder as on a first run.
inline void forgetLastRun()
{
    QSettings settings;
    settings.remove(QStringLiteral("Storyboard"));
    settings.remove(QStringLiteral("Music"));
}

inline QString qtPath(const std::string& utf8) { return QString::fromUtf8(utf8.c_str()); }

// A photo whose quadrants are red, green, blue and white (top left, top
// right, bottom left, bottom right).
inline void writePhoto(const std::string& path, int width = 96, int height = 64)
{
    kestrel::test::jpeg_options options;
    options.width = width;
    options.height = height;
    kestrel::test::write_file(path, kestrel::test::make_jpeg(options));
}

enum Quadrant { TopLeft, TopRight, BottomLeft, BottomRight };

// Which quadrant of the picture is red; -1 when none clearly is.
inline int redQuadrant(const QImage& picture)
{
    for (int q = TopLeft; q <= BottomRight; ++q) {
        const QColor c = picture.pixelColor(picture.width() * (q & 1 ? 3 : 1) / 4,
                                            picture.height() * (q & 2 ? 3 : 1) / 4);
        if (c.red() > 200 && c.green() < 60 && c.blue() < 60)
            return q;
    }
    return -1;
}

inline QImage thumbnail(ComponentModel::ImageProvider& photos, const QString& id)
{
    QSize size;
    return photos.requestPixmap(id, &size, QSize()).toImage();
}

// A 16-bit stereo PCM wave file of a 440 Hz tone.
inline std::string waveFile(double seconds = 0.5, int rate = 44100)
{
    const uint32_t frames = static_cast<uint32_t>(seconds * rate);
    std::string samples;
    for (uint32_t i = 0; i < frames; ++i) {
        const int16_t value = static_cast<int16_t>(8000 * ((i * 440 * 2 / rate) % 2 ? 1 : -1));
        for (int channel = 0; channel < 2; ++channel)
            samples.append(reinterpret_cast<const char*>(&value), 2);
    }
    auto u32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [](uint16_t v) { return std::string(reinterpret_cast<const char*>(&v), 2); };
    return "RIFF" + u32(36 + static_cast<uint32_t>(samples.size())) + "WAVEfmt " + u32(16) + u16(1) + u16(2) +
           u32(rate) + u32(rate * 4) + u16(4) + u16(16) + "data" + u32(static_cast<uint32_t>(samples.size())) +
           samples;
}

// Collects the warnings Qt code logs while it lives.
class LogCapture {
public:
    LogCapture() { previous_ = qInstallMessageHandler(&LogCapture::handle); current() = this; }
    ~LogCapture()
    {
        current() = nullptr;
        qInstallMessageHandler(previous_);
    }

    QStringList lines() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }
    // The lines that hold `text`.
    QStringList linesWith(const QString& text) const { return lines().filter(text); }

private:
    static LogCapture*& current()
    {
        static LogCapture* capture = nullptr;
        return capture;
    }
    static void handle(QtMsgType, const QMessageLogContext&, const QString& message)
    {
        if (LogCapture* capture = current()) {
            std::lock_guard<std::mutex> lock(capture->mutex_);
            capture->lines_ << message;
        }
    }

    QtMessageHandler previous_;
    mutable std::mutex mutex_;
    QStringList lines_;
};

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

// Slide i of the engine is slide i of the list, and the list model shows
// as many rows.
inline ::testing::AssertionResult listsAgree(const ViewModel::StoryboardViewModel& storyboard,
                                             const kestrel::slideshow2::slideshow_ptr& show)
{
    const int count = storyboard.slideList()->count();
    if (show->count() != static_cast<std::size_t>(count))
        return ::testing::AssertionFailure() << "engine " << show->count() << " slides, list " << count;
    const auto* model = qobject_cast<QAbstractItemModel*>(storyboard.slides());
    if (model->rowCount() != count)
        return ::testing::AssertionFailure() << "model " << model->rowCount() << " rows, list " << count;
    for (int i = 0; i < count; ++i) {
        if (show->get_slide(static_cast<std::size_t>(i)) != slideAt(storyboard, i)->slide())
            return ::testing::AssertionFailure() << "slide " << i << " differs";
    }
    return ::testing::AssertionSuccess();
}

// No photo loading any more, and the save that follows done.
inline bool settled(const ViewModel::StoryboardViewModel& storyboard, int ms = 20000)
{
    const bool done = qmltest::waitFor([&] { return !storyboard.loading(); }, ms);
    QCoreApplication::processEvents();
    return done;
}

inline QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline QString storedStoryboardPath() { return QSettings().value(QStringLiteral("Storyboard/slides")).toString(); }

} // namespace viewmodeltest
