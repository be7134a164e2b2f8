#include "CursorShapeArea.h"

#include <QCursor>

namespace Gui {

CursorShapeArea::CursorShapeArea(QQuickItem* parent) : QQuickItem(parent) {}

Qt::CursorShape CursorShapeArea::cursorShape() const
{
    return cursor().shape();
}

void CursorShapeArea::setCursorShape(Qt::CursorShape shape)
{
    // Values beyond Qt's shapes would make a cursor of nothing.
    if (int(shape) == m_shape || shape < Qt::ArrowCursor || shape > Qt::LastCursor)
        return;
    m_shape = shape;
    setCursor(QCursor(shape));
    emit cursorShapeChanged();
}

} // namespace Gui
