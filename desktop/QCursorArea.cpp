#include "QCursorArea.h"

#include <QCursor>

#include <iterator>

namespace Desktop {

namespace {

const Qt::CursorShape shapes[] = {
    Qt::ArrowCursor,  Qt::SizeHorCursor, Qt::SizeVerCursor, Qt::SizeAllCursor,
    Qt::SplitHCursor, Qt::SplitVCursor,  Qt::WaitCursor,    Qt::PointingHandCursor,
};

} // namespace

QCursorArea::QCursorArea(QQuickItem* parent) : QQuickItem(parent) {}

void QCursorArea::setCursor(Cursor cursor)
{
    const int index = static_cast<int>(cursor);
    if (cursor == m_cursor || index < 0 || index >= int(std::size(shapes)))
        return;
    QQuickItem::setCursor(QCursor(shapes[index]));
    m_cursor = cursor;
    emit cursorChanged();
}

} // namespace Desktop
