#pragma once
// How text crosses between Qt and the 8-bit strings of the feed readers and
// the HTTP client: one byte per character (Latin-1) both ways, so the
// engine gets back exactly the bytes it produced; feed text (ids,
// addresses) read as the UTF-8 it nearly always is (Latin-1 when it is not
// valid UTF-8), never Latin-1 first, which a later percent-encoding would
// encode twice (text the user reads goes through FeedText.h); and the
// percent-encoding of UTF-8 that addresses carry (every
// byte but letters, digits, "-", ".", "_" and "~" as "%XX").

#include <QString>
#include <QStringDecoder>
#include <QUrl>

#include <string>

namespace Feedback {

inline QString fromEngineText(const std::string& bytes)
{
    return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}

inline QString fromFeedText(const std::string& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    return utf8.hasError() ? fromEngineText(bytes) : text;
}

inline std::string toEngineText(const QString& text)
{
    return text.toLatin1().toStdString();
}

inline QString percentEncoded(const QString& text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

} // namespace Feedback
