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

void DropArea::dragEnterEvent(QDragEnterEvent* event)
{
    const QMimeData* data = event->mimeData();
    if (!data || !data->hasUrls()) {
        event->ignore();
        return;
    }
    const QList<QUrl> urls = data->urls();
    for (const QUrl& url : urls) {
        if (url.isLocalFile()) {
            event->accept();
            setCursor(Qt::DragMoveCursor);
            return;
        }
    }
    event->ignore();
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
