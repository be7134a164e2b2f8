#pragma once
// The Qt log lines written while a LogCapture lives, from any thread.

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <mutex>

namespace qmltest {

class LogCapture {
public:
    LogCapture() : previous_(qInstallMessageHandler(&LogCapture::keep)) { lines().clear(); }
    ~LogCapture() { qInstallMessageHandler(previous_); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // How many lines hold `text`.
    int count(const QString& text) const
    {
        std::lock_guard<std::mutex> lock(mutex());
        return lines().filter(text).size();
    }

private:
    static QStringList& lines()
    {
        static QStringList kept;
        return kept;
    }
    static std::mutex& mutex()
    {
        static std::mutex m;
        return m;
    }
    static void keep(QtMsgType, const QMessageLogContext&, const QString& line)
    {
        std::lock_guard<std::mutex> lock(mutex());
        lines() << line;
    }
    QtMessageHandler previous_;
};

} // namespace qmltest
