#include "feedback/FeedText.h"

#include <QStringDecoder>

#include <algorithm>
#include <string_view>

namespace Feedback {

namespace {

bool isBidiControl(char16_t u)
{
    return u == 0x061C || u == 0x200E || u == 0x200F || (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
}

// The controls a label draws as a box: C0 but tab and the line ends, DEL
// and C1 (U+0085 among them, which a label does not break at).
bool isUndrawableControl(char16_t u)
{
    return (u < 0x20 && u != '\t' && u != '\n' && u != '\r') || (u >= 0x7F && u <= 0x9F);
}

bool isLineBreak(char16_t u)
{
    return u == '\n' || u == '\r' || u == 0x2028 || u == 0x2029;
}

// What a decoder gives for bytes that are no UTF-8. A NUL byte of the
// input is read as U+0001, an undrawable control as well, so the mark is
// never a character of the text.
const char16_t undecodableMark = 0;

// Collects the characters shown, up to the bounds.
class BoundedText {
public:
    enum class Outcome { Room, Full, Undecodable };

    Outcome append(QStringView piece)
    {
        for (qsizetype i = 0; i < piece.size(); ++i) {
            const char16_t u = piece[i].unicode();
            if (isBidiControl(u) || (isUndrawableControl(u) && u != undecodableMark))
                continue;
            // "\r\n" ends one line.
            const bool secondHalf = u == '\n' && afterReturn_;
            afterReturn_ = u == '\r';
            if (isLineBreak(u) && !secondHalf && ++breaks_ == maxShownLines)
                return Outcome::Full;
            const qsizetype width = piece[i].isHighSurrogate() && i + 1 < piece.size() ? 2 : 1;
            if (!fits(width))
                return Outcome::Full;
            // Only bytes that would be shown decide the reading.
            if (u == undecodableMark)
                return Outcome::Undecodable;
            text_.append(piece.mid(i, width));
            i += width - 1;
        }
        return Outcome::Room;
    }
    bool fits(qsizetype width) const { return text_.size() + width <= maxShownCharacters; }
    QString cut() const { return text_ + QChar(0x2026); }
    const QString& whole() const { return text_; }

private:
    QString text_;
    int breaks_ = 0;
    bool afterReturn_ = false;
};

// A last character that the end of the bytes cuts short: a lead byte
// followed by fewer continuation bytes than it announces.
struct CutShortCharacter {
    std::size_t start; // its lead byte; the size of the bytes when there is none
    qsizetype width;   // the UTF-16 units it would take whole
};

CutShortCharacter cutShortCharacter(std::string_view bytes)
{
    // A character is at most four bytes: its lead is among the last four.
    for (std::size_t back = 1; back <= 4 && back <= bytes.size(); ++back) {
        const auto byte = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if ((byte & 0xC0) == 0x80)
            continue;
        const std::size_t length = byte >= 0xF8 ? 1 : byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        if (back < length)
            return {bytes.size() - back, length == 4 ? 2 : 1};
        break;
    }
    return {bytes.size(), 0};
}

// Decoded in pieces that end at a character's first byte, so no piece
// holds half a character and a surrogate pair always arrives whole; reading
// stops at the cut, so only what is kept (and the character that does not
// fit) is ever decoded.
const std::size_t pieceBytes = 4096;

std::size_t pieceEnd(std::string_view bytes, std::size_t begin)
{
    std::size_t end = std::min(bytes.size(), begin + pieceBytes);
    // At most three continuation bytes end a character; more are no UTF-8
    // anyway, and the decoder says so.
    for (int back = 0; back < 3 && end < bytes.size() && end > begin + 1 &&
                       (static_cast<unsigned char>(bytes[end]) & 0xC0) == 0x80;
         ++back)
        --end;
    return end;
}

template <class Decode>
BoundedText::Outcome readInto(BoundedText& shown, std::string_view bytes, Decode decode)
{
    std::string piece;
    for (std::size_t begin = 0; begin < bytes.size();) {
        const std::size_t end = pieceEnd(bytes, begin);
        piece.assign(bytes.substr(begin, end - begin));
        std::replace(piece.begin(), piece.end(), '\0', '\x01');
        const BoundedText::Outcome outcome = shown.append(decode(piece));
        if (outcome != BoundedText::Outcome::Room)
            return outcome;
        begin = end;
    }
    return BoundedText::Outcome::Room;
}

QString decodedUtf8(std::string_view piece)
{
    // Qt would give a U+FFFD for each byte of a character cut short at the
    // piece's end, which the cut could then show. A piece ends there only
    // where no continuation byte follows: such a character is no UTF-8.
    const std::size_t whole = cutShortCharacter(piece).start;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                  QStringDecoder::Flag::ConvertInvalidToNull);
    QString text = utf8(QByteArrayView(piece.data(), qsizetype(whole)));
    if (whole < piece.size())
        text.append(QChar(undecodableMark));
    return text;
}

QString decodedLatin1(std::string_view piece)
{
    return QString::fromLatin1(piece.data(), qsizetype(piece.size()));
}

} // namespace

QString shownFeedText(const std::string& bytes)
{
    // A last character cut short is no UTF-8, but the cut may leave it out
    // before it decides anything.
    const CutShortCharacter last = cutShortCharacter(bytes);
    BoundedText utf8;
    switch (readInto(utf8, std::string_view(bytes).substr(0, last.start), decodedUtf8)) {
    case BoundedText::Outcome::Full:
        return utf8.cut();
    case BoundedText::Outcome::Room:
        if (last.start == bytes.size())
            return utf8.whole();
        if (!utf8.fits(last.width))
            return utf8.cut();
        break;
    case BoundedText::Outcome::Undecodable:
        break;
    }
    BoundedText latin1;
    return readInto(latin1, bytes, decodedLatin1) == BoundedText::Outcome::Full ? latin1.cut() : latin1.whole();
}

} // namespace Feedback
