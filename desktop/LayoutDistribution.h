#pragma once
// Sharing one extent (a row's width, a column's height) among items by
// their preferred, minimum and maximum sizes and stretch, the arithmetic of
// the row and column layouts:
// - not even the minimums fit: the spacing shrinks in proportion and every
//   item shrinks towards one common cap;
// - the minimums fit but the preferred sizes do not: the overdraft is taken
//   equally from the items, none below its minimum;
// - everything fits: items that do not expand keep their preferred size and
//   the space left is split into equal gaps at both ends and between them;
//   expanding items share it instead, each within its maximum, and what
//   they cannot take (all at their maximums) becomes the gaps.
// Sizes and positions are in the layout's own units (pixels), along the
// layout's orientation only.

#include <QVector>

namespace Desktop {

struct LayoutItemRecord {
    qreal stretch = 0;       // 1 for an expanding item, else 0
    qreal preferredSize = 0; // the item's implicit size
    qreal spacing = 0;       // extra gap after the item
    qreal minimumSize = 0;
    qreal maximumSize = 0;
    bool expanding = false;
    bool done = false; // work field: the size is settled
    qreal position = 0;
    qreal size = 0;

    // What the item asks for: an expanding item only its minimum.
    qreal smartSize() const { return stretch > 0 ? minimumSize : preferredSize; }
};

// Sets every record's size and position; `spacing` is the gap between
// neighbours, `start` the position of the extent's beginning.
void distributeLayoutItems(QVector<LayoutItemRecord>& items, qreal space, qreal start,
                           qreal spacing);

} // namespace Desktop
