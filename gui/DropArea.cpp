#include "DropArea.h"

#include <QCursor>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace Gui {

DropArea::DropArea(QQuickItem* parent) : QQuickItem(parent)
{
    setFlag(ItemAcceptsDrops, true);
}

namespace {

bool carriesLocalFile(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return false;
    const QList<QUrl> urls = data->urls();
    for (const QUrl& url : urls)
        if (url.isLocalFile())
            return true;
    return false;
}

} // namespace

void DropArea::dragEnterEvent(QDragEnterEvent* event)
{
    if (!carriesLocalFile(event->mimeData())) {
        event->ignore();
        return;
    }
    event->accept();
    setCursor(Qt::DragMoveCursor);
}

void DropArea::dragMoveEvent(QDragMoveEvent* event)
{
    event->setAccepted(carriesLocalFile(event->mimeData()));
}

void DropArea::dragLeaveEvent(QDragLeaveEvent* event)
{
    Q_UNUSED(event);
    unsetCursor();
}

void DropArea::dropEvent(QDropEvent* event)
{
    unsetCursor();
    const QMimeData* data = event->mimeData();
    if (!data)
        return;
    const QList<QUrl> urls = data->urls();
    for (const QUrl& url : urls)
        if (url.isLocalFile())
            emit fileDropped(url.toLocalFile());
}

} // namespace Gui
