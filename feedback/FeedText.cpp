#include "feedback/FeedText.h"

#include <QStringDecoder>

#include <algorithm>
#include <optional>

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
            if (text_.size() + width > maxShownCharacters)
                return Outcome::Full;
            // Only bytes that would be shown decide the reading.
            if (u == undecodableMark)
                return Outcome::Undecodable;
            text_.append(piece.mid(i, width));
            i += width - 1;
        }
        return Outcome::Room;
    }
    QString cut() const { return text_ + QChar(0x2026); }
    const QString& whole() const { return text_; }

private:
    QString text_;
    int breaks_ = 0;
    bool afterReturn_ = false;
};

// Decoded in pieces that end at a character's first byte, so no piece
// holds half a character and a surrogate pair always arrives whole; reading
// stops at the cut, so only what is kept (and the character that does not
// fit) is ever decoded.
const std::size_t pieceBytes = 4096;

std::size_t pieceEnd(const std::string& bytes, std::size_t begin)
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

// Empty when a character that would be kept is undecodable (never so in
// Latin-1).
template <class Decode>
std::optional<QString> shownAs(const std::string& bytes, Decode decode)
{
    BoundedText shown;
    std::string piece;
    for (std::size_t begin = 0; begin < bytes.size();) {
        const std::size_t end = pieceEnd(bytes, begin);
        piece.assign(bytes, begin, end - begin);
        std::replace(piece.begin(), piece.end(), '\0', '\x01');
        switch (shown.append(decode(piece))) {
        case BoundedText::Outcome::Room:
            break;
        case BoundedText::Outcome::Full:
            return shown.cut();
        case BoundedText::Outcome::Undecodable:
            return std::nullopt;
        }
        begin = end;
    }
    return shown.whole();
}

QString decodedUtf8(const std::string& piece)
{
    // Stateless: a character cut short at the piece's end is no UTF-8 either,
    // as a piece ends before a character's first byte.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                  QStringDecoder::Flag::ConvertInvalidToNull);
    QString text = utf8(QByteArrayView(piece.data(), qsizetype(piece.size())));
    // Qt marks such a cut-short character with U+FFFD all the same.
    if (utf8.hasError() && !text.contains(QChar(undecodableMark))) {
        if (text.endsWith(QChar::ReplacementCharacter))
            text.chop(1);
        text.append(QChar(undecodableMark));
    }
    return text;
}

QString decodedLatin1(const std::string& piece)
{
    return QString::fromLatin1(piece.data(), qsizetype(piece.size()));
}

} // namespace

QString shownFeedText(const std::string& bytes)
{
    if (std::optional<QString> text = shownAs(bytes, decodedUtf8))
        return *text;
    return *shownAs(bytes, decodedLatin1);
}

} // namespace Feedback
