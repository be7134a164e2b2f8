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

// Everything fits: fixed items keep their size; expanding items share what
// is left within their maximums. Returns the space nobody took.
qreal grow(QVector<LayoutItemRecord>& items, qreal space, qreal stretchSum, qreal totalSpacing)
{
    qreal left = space - totalSpacing;
    int open = items.size();
    auto settle = [&](LayoutItemRecord& item, qreal size) {
        item.done = true;
        item.size = size;
        left -= size;
        stretchSum -= item.stretch;
        --open;
    };
    for (LayoutItemRecord& item : items) {
        if (!item.done && (item.maximumSize <= item.smartSize() ||
                           (!item.expanding && item.stretch == 0)))
            settle(item, item.smartSize());
    }

    qreal extra = left;
    // Every round but the last settles at least one item.
    for (int round = 0; round <= items.size(); ++round) {
        if (open == 0)
            return left;
        qreal surplus = 0;
        qreal deficit = 0;
        const qreal share = left;
        const int sharing = open;
        const qreal stretches = stretchSum;
        for (LayoutItemRecord& item : items) {
            if (item.done)
                continue;
            const qreal w = stretches > 0 ? share * item.stretch / stretches : share / sharing;
            item.size = w;
            extra = 0;
            if (w < item.smartSize())
                deficit += item.smartSize() - w;
            else if (w > item.maximumSize)
                surplus += w - item.maximumSize;
        }
        if (deficit > 0 && surplus <= deficit) {
            for (LayoutItemRecord& item : items)
                if (!item.done && item.size < item.smartSize())
                    settle(item, item.smartSize());
        }
        if (surplus > 0 && deficit <= surplus) {
            for (LayoutItemRecord& item : items)
                if (!item.done && item.size > item.maximumSize)
                    settle(item, item.maximumSize);
        }
        if (open == 0)
            return left;
        if (surplus == deficit)
            return extra;
    }
    return extra;
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

    qreal extra = 0;
    if (minimumSum + totalSpacing > space)
        shrinkToCap(items, space, minimumSum, spacing, totalSpacing);
    else if (smartSum + totalSpacing > space)
        shrinkEvenly(items, space, smartSum, totalSpacing);
    else
        extra = grow(items, space, stretchSum, totalSpacing);

    const qreal gap = extra / (count + 1);
    qreal position = start + gap;
    for (LayoutItemRecord& item : items) {
        item.position = position;
        position += item.size + spacing + item.spacing + gap;
    }
}

} // namespace Desktop
