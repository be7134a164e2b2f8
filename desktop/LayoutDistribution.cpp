#include "LayoutDistribution.h"

#include <algorithm>

namespace Desktop {

namespace {

// Not even the minimums fit: the spacing shrinks in proportion to the
// space, and every item gets its minimum or a common cap, whichever is
// smaller, so that together they fill the space left.
void shrinkToCap(QVector<LayoutItemRecord>& items, qreal space, qreal minimumSum,
                 qreal& spacing, qreal& totalSpacing)
{
    const int count = items.size();
    if (spacing >= 0) {
        spacing = minimumSum + totalSpacing > 0 ? spacing * space / (minimumSum + totalSpacing) : 0;
        totalSpacing = spacing * (count - 1);
    }
    const qreal left = space - totalSpacing;

    QVector<qreal> minimums;
    for (const LayoutItemRecord& item : std::as_const(items))
        minimums.append(item.minimumSize);
    std::sort(minimums.begin(), minimums.end());

    qreal current = 0;
    qreal used = 0;
    int steps = 0;
    if (left > 0 && count >= 1) {
        qreal before = 0;
        for (int k = 0; k < count; ++k) {
            current = minimums[k];
            used = before + current * (count - k);
            steps = k + 1;
            if (used >= left)
                break;
            before += current;
        }
    }
    const qreal cap = current - (used - left) / (count + 1 - steps);
    for (LayoutItemRecord& item : items) {
        item.done = true;
        item.size = qMin(item.minimumSize, cap);
    }
}

// The minimums fit, the preferred sizes do not: the overdraft is taken in
// equal parts from the items that can give, never below a minimum.
void shrinkEvenly(QVector<LayoutItemRecord>& items, qreal space, qreal smartSum,
                  qreal totalSpacing)
{
    int open = 0;
    for (LayoutItemRecord& item : items) {
        if (item.minimumSize >= item.smartSize()) {
            item.done = true;
            item.size = item.smartSize();
        } else {
            ++open;
        }
    }
    if (open == 0)
        return;
    qreal overdraft = smartSum - (space - totalSpacing);
    bool clamped = true;
    while (clamped) {
        clamped = false;
        for (LayoutItemRecord& item : items) {
            if (item.done)
                continue;
            item.size = item.smartSize() - overdraft / open;
            if (item.size < item.minimumSize) {
                item.done = true;
                item.size = item.minimumSize;
                overdraft -= item.smartSize() - item.minimumSize;
                --open;
                clamped = true;
                break; // the share of the others changed: start over
            }
        }
    }
}

// Everything fits: the space left after the spacing, shared out item by
// item. An item is settled once its size is final; the open ones grow.
struct Growth {
    qreal left;       // not yet given to a settled item
    qreal stretchSum; // of the open items
    int open;

    void settle(LayoutItemRecord& item, qreal size)
    {
        item.done = true;
        item.size = size;
        left -= size;
        stretchSum -= item.stretch;
        --open;
    }

    // The space nobody took: the open items share all that is left, so
    // only when every item is settled does any remain.
    qreal unclaimed() const { return open == 0 ? left : 0; }
};

// One round of sharing: every open item gets its share of what is left,
// by stretch (equal parts without any). Shares outside an item's limits
// settle it at the limit: those below the smart size when the shortfall
// is the larger, those above the maximum when the excess is. Returns how
// many items it settled.
int shareOnce(QVector<LayoutItemRecord>& items, Growth& growth)
{
    const qreal share = growth.left;
    const qreal stretches = growth.stretchSum;
    const int sharing = growth.open;
    qreal shortfall = 0;
    qreal excess = 0;
    for (LayoutItemRecord& item : items) {
        if (item.done)
            continue;
        item.size = stretches > 0 ? share * item.stretch / stretches : share / sharing;
        if (item.size < item.smartSize())
            shortfall += item.smartSize() - item.size;
        else if (item.size > item.maximumSize)
            excess += item.size - item.maximumSize;
    }
    if (shortfall > 0 && excess <= shortfall) {
        for (LayoutItemRecord& item : items)
            if (!item.done && item.size < item.smartSize())
                growth.settle(item, item.smartSize());
    }
    if (excess > 0 && shortfall <= excess) {
        for (LayoutItemRecord& item : items)
            if (!item.done && item.size > item.maximumSize)
                growth.settle(item, item.maximumSize);
    }
    return sharing - growth.open;
}

// Items that do not expand, or cannot grow past their smart size, keep it;
// the expanding ones share what is left within their limits.
Growth grow(QVector<LayoutItemRecord>& items, qreal space, qreal stretchSum, qreal totalSpacing)
{
    Growth growth{space - totalSpacing, stretchSum, int(items.size())};
    for (LayoutItemRecord& item : items) {
        if (!item.done && (item.maximumSize <= item.smartSize() ||
                           (!item.expanding && item.stretch == 0)))
            growth.settle(item, item.smartSize());
    }
    // A round that settles nobody leaves the open items their shares and is
    // the last; every other round settles one item at least, so no more
    // rounds than items are ever needed.
    for (int round = 0; round < items.size() && growth.open > 0; ++round) {
        if (shareOnce(items, growth) == 0)
            break;
    }
    return growth;
}

} // namespace

void distributeLayoutItems(QVector<LayoutItemRecord>& items, qreal space, qreal start,
                           qreal spacing)
{
    const int count = items.size();
    if (count == 0)
        return;
    qreal stretchSum = 0;
    qreal smartSum = 0;
    qreal minimumSum = 0;
    qreal totalSpacing = 0;
    for (int i = 0; i < count; ++i) {
        LayoutItemRecord& item = items[i];
        item.done = false;
        stretchSum += item.stretch;
        smartSum += item.smartSize();
        minimumSum += item.minimumSize;
        if (i < count - 1)
            totalSpacing += spacing + item.spacing;
    }

    qreal unclaimed = 0;
    if (minimumSum + totalSpacing > space)
        shrinkToCap(items, space, minimumSum, spacing, totalSpacing);
    else if (smartSum + totalSpacing > space)
        shrinkEvenly(items, space, smartSum, totalSpacing);
    else
        unclaimed = grow(items, space, stretchSum, totalSpacing).unclaimed();

    // What nobody took is split into equal gaps at both ends and between.
    const qreal gap = unclaimed / (count + 1);
    qreal position = start + gap;
    for (LayoutItemRecord& item : items) {
        item.position = position;
        position += item.size + spacing + item.spacing + gap;
    }
}

} // namespace Desktop
