#include "feedback/FeedText.h"

#include <QStringDecoder>

#include <algorithm>
#include <optional>

namespace Feedback {

namespace {

bool isBidiControl(QChar c)
{
    const char16_t u = c.unicode();
    return u == 0x061C || u == 0x200E || u == 0x200F || (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
}

bool isLineBreak(QChar c)
{
    const char16_t u = c.unicode();
    return u == '\n' || u == '\r' || u == 0x0085 || u == 0x2028 || u == 0x2029;
}

// Collects the characters shown, up to the bounds.
class BoundedText {
public:
    // False once the text is full: what was offered last is cut.
    bool append(QStringView piece)
    {
        for (qsizetype i = 0; i < piece.size(); ++i) {
            const QChar c = piece[i];
            if (isBidiControl(c))
                continue;
            // "\r\n" ends one line.
            const bool secondHalf = c == QLatin1Char('\n') && afterReturn_;
            afterReturn_ = c == QLatin1Char('\r');
            if (isLineBreak(c) && !secondHalf && ++breaks_ == maxShownLines)
                return false;
            const qsizetype width = c.isHighSurrogate() && i + 1 < piece.size() ? 2 : 1;
            if (text_.size() + width > maxShownCharacters)
                return false;
            text_.append(piece.mid(i, width));
            i += width - 1;
        }
        return true;
    }
    QString cut() const { return text_ + QChar(0x2026); }
    const QString& whole() const { return text_; }

private:
    QString text_;
    int breaks_ = 0;
    bool afterReturn_ = false;
};

// Decoded in pieces that end at a character's first byte, so the decoder
// never holds half a character between pieces and a surrogate pair always
// arrives whole; reading stops at the cut.
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

// Empty when the bytes kept are no UTF-8.
std::optional<QString> shownUtf8(const std::string& bytes)
{
    BoundedText shown;
    for (std::size_t begin = 0; begin < bytes.size();) {
        const std::size_t end = pieceEnd(bytes, begin);
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString piece = utf8(QByteArrayView(bytes.data() + begin, qsizetype(end - begin)));
        if (utf8.hasError())
            return std::nullopt;
        if (!shown.append(piece))
            return shown.cut();
        begin = end;
    }
    return shown.whole();
}

QString shownLatin1(const std::string& bytes)
{
    BoundedText shown;
    for (std::size_t begin = 0; begin < bytes.size(); begin += pieceBytes) {
        const std::size_t size = std::min(pieceBytes, bytes.size() - begin);
        if (!shown.append(QString::fromLatin1(bytes.data() + begin, qsizetype(size))))
            return shown.cut();
    }
    return shown.whole();
}

} // namespace

QString shownFeedText(const std::string& bytes)
{
    if (std::optional<QString> text = shownUtf8(bytes))
        return *text;
    return shownLatin1(bytes);
}

} // namespace Feedback
