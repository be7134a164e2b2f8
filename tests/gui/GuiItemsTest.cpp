#include "gui/CursorShapeArea.h"
#include "gui/DropArea.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

QMimeData* urls(const QStringList& addresses)
{
    auto* data = new QMimeData;
    QList<QUrl> list;
    for (const QString& address : addresses)
        list.append(QUrl(address));
    data->setUrls(list);
    return data;
}

// Whether the area accepts a drag entering with this data.
bool acceptsEnter(Gui::DropArea& area, QMimeData* data)
{
    QDragEnterEvent event(QPoint(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    event.setAccepted(false);
    QCoreApplication::sendEvent(&area, &event);
    return event.isAccepted();
}

} // namespace

TEST(DropArea, AcceptsDragsThatCarryALocalFile)
{
    Gui::DropArea area;
    std::unique_ptr<QMimeData> text(new QMimeData);
    text->setText("/tmp/a.jpg");
    EXPECT_FALSE(acceptsEnter(area, text.get()));

    std::unique_ptr<QMimeData> remote(urls({"http://example.com/a.jpg", "ftp://host/b.jpg"}));
    EXPECT_FALSE(acceptsEnter(area, remote.get()));
    EXPECT_EQ(Qt::ArrowCursor, area.cursor().shape());

    std::unique_ptr<QMimeData> mixed(urls({"http://example.com/a.jpg", "file:///tmp/b.jpg"}));
    EXPECT_TRUE(acceptsEnter(area, mixed.get()));
    EXPECT_EQ(Qt::DragMoveCursor, area.cursor().shape());

    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(&area, &leave);
    EXPECT_EQ(Qt::ArrowCursor, area.cursor().shape());
}

TEST(DropArea, ReportsEveryLocalFileInTheDragsOrder)
{
    Gui::DropArea area;
    QStringList dropped;
    QObject::connect(&area, &Gui::DropArea::fileDropped, [&](const QString& path) { dropped << path; });
    std::unique_ptr<QMimeData> data(urls({"file:///photos/b.jpg", "http://example.com/x.jpg",
                                          "file:///photos/a%20b.jpg", "file:///music/song.mp3"}));
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&area, &drop);
    EXPECT_EQ(QStringList({"/photos/b.jpg", "/photos/a b.jpg", "/music/song.mp3"}), dropped);
}

TEST(CursorShapeArea, ReadsTheCursorItShowsAndAnnouncesChanges)
{
    Gui::CursorShapeArea area;
    EXPECT_EQ(Qt::ArrowCursor, area.cursorShape());
    int changes = 0;
    QObject::connect(&area, &Gui::CursorShapeArea::cursorShapeChanged, [&] { ++changes; });
    area.setCursorShape(Qt::PointingHandCursor);
    area.setCursorShape(Qt::PointingHandCursor);
    EXPECT_EQ(1, changes);
    EXPECT_EQ(Qt::PointingHandCursor, area.cursorShape());
    area.setCursorShape(Qt::CursorShape(1000)); // no such shape
    EXPECT_EQ(1, changes);
    EXPECT_EQ(Qt::PointingHandCursor, area.cursorShape());
}
