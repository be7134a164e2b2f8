#pragma once
// "CursorShapeArea" of the module "Gui": sets the mouse cursor shown over
// it. Reading `cursorShape` gives the shape of the cursor the item really
// has (the arrow while none was set). GUI thread only.

#include <QQuickItem>

namespace Gui {

class CursorShapeArea : public QQuickItem {
    Q_OBJECT
    Q_PROPERTY(Qt::CursorShape cursorShape READ cursorShape WRITE setCursorShape
               NOTIFY cursorShapeChanged)

public:
    explicit CursorShapeArea(QQuickItem* parent = nullptr);

    Qt::CursorShape cursorShape() const;
    void setCursorShape(Qt::CursorShape shape);

signals:
    void cursorShapeChanged();

private:
    int m_shape = -1; // none set yet
};

} // namespace Gui
