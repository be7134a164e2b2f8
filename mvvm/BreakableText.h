#pragma once
// A plain text as a label shows it: a label wraps only between words, and
// cuts a word wider than itself at its right edge, so each such word gets a
// zero-width break chance between its characters. The label's document
// holds the shown text, breaks and all; a span of that document (what the
// user selects) maps back to the text given, so that what is copied is the
// real text. GUI thread (font metrics).

#include <QString>

#include <vector>

class QFontMetrics;

namespace Mvvm {

class BreakableText {
public:
    BreakableText() = default;
    // `text` with break chances in each word wider than `width` pixels.
    BreakableText(const QString& text, const QFontMetrics& metrics, int width);

    const QString& given() const { return given_; }
    const QString& shown() const { return shown_; }

    // The given text behind positions [from, to) of a text document that
    // holds shown() as plain text: without the added breaks, and with a
    // "\r\n" (one position there) as it was given.
    QString givenBetween(int from, int to) const;

private:
    QString given_;
    QString shown_;
    // For each position of the document, and one past its last: the index
    // in given_ of the first given character at or after it.
    std::vector<qsizetype> givenAt_;
};

} // namespace Mvvm
