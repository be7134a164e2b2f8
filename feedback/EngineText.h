#pragma once
// How text crosses between Qt and the 8-bit strings of the feed readers and
// the HTTP client: one byte per character (Latin-1) both ways, so the
// engine gets back exactly the bytes it produced; and the percent-encoding
// of UTF-8 that addresses carry (every byte but letters, digits, "-", ".",
// "_" and "~" as "%XX").

#include <QString>
#include <QUrl>

#include <string>

namespace Feedback {

inline QString fromEngineText(const std::string& bytes)
{
    return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
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
