#include "mvvm/BreakableText.h"

#include <QFontMetrics>
#include <QTextBoundaryFinder>

#include <algorithm>

namespace Mvvm {

namespace {

const QChar zeroWidthSpace(0x200B);

} // namespace

BreakableText::BreakableText(const QString& text, const QFontMetrics& metrics, int width)
    : given_(text)
{
    // Whether each character of the shown text was added.
    std::vector<bool> added;
    QTextBoundaryFinder lineBreaks(QTextBoundaryFinder::Line, text);
    for (qsizetype start = 0, end = lineBreaks.toNextBoundary(); end > start;
         start = end, end = lineBreaks.toNextBoundary()) {
        const QString word = text.mid(start, end - start);
        if (metrics.horizontalAdvance(word.trimmed()) <= width) {
            shown_ += word;
            added.insert(added.end(), word.size(), false);
            continue;
        }
        QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, word);
        for (qsizetype from = 0, to = characters.toNextBoundary(); to > from;
             from = to, to = characters.toNextBoundary()) {
            if (from > 0) {
                shown_ += zeroWidthSpace;
                added.push_back(true);
            }
            shown_ += word.mid(from, to - from);
            added.insert(added.end(), to - from, false);
        }
    }
    // A document takes "\r\n" for one line end, one position.
    qsizetype next = 0;
    for (qsizetype i = 0; i < shown_.size(); ++i) {
        givenAt_.push_back(next);
        if (added[i])
            continue;
        const bool crlf = shown_.at(i) == QLatin1Char('\r') && i + 1 < shown_.size() && !added[i + 1]
                          && shown_.at(i + 1) == QLatin1Char('\n');
        next += crlf ? 2 : 1;
        i += crlf ? 1 : 0;
    }
    givenAt_.push_back(next);
}

QString BreakableText::givenBetween(int from, int to) const
{
    if (givenAt_.empty())
        return QString();
    const auto last = static_cast<int>(givenAt_.size()) - 1;
    const qsizetype begin = givenAt_[std::clamp(from, 0, last)];
    const qsizetype end = givenAt_[std::clamp(to, 0, last)];
    return given_.mid(begin, std::max<qsizetype>(0, end - begin));
}

} // namespace Mvvm
