#pragma once
// Helpers for tests of QML items: documents made from text, Qt Quick drawn
// in software (so windows work on the offscreen platform), and signals
// recorded as text in the order they came.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QObject>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QStringList>
#include <QUrl>
#include <QVariant>

#include <functional>
#include <memory>
#include <ostream>

// Readable failure messages for Qt's text.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace qmltest {

// Qt Quick draws in software; call before the first window is made.
inline void useSoftwareQuick()
{
    static const bool done = [] {
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
        return true;
    }();
    (void)done;
}

// The document's root object, or null with the errors in `errors`.
inline std::unique_ptr<QObject> create(QQmlEngine& engine, const QByteArray& document,
                                       QString* errors = nullptr)
{
    QQmlComponent component(&engine);
    component.setData(document, QUrl(QStringLiteral("file:///test/document.qml")));
    std::unique_ptr<QObject> object(component.create());
    if (errors) {
        errors->clear();
        for (const QQmlError& error : component.errors())
            errors->append(error.description());
    }
    return object;
}

// Runs the event loop until `done` holds or `ms` milliseconds have passed.
inline bool waitFor(const std::function<bool()>& done, int ms = 2000)
{
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Keeps the order of the signals connected through `record`, as text.
class SignalLog {
public:
    template <typename Sender, typename... Args>
    void record(Sender* sender, void (Sender::*signal)(Args...), const QString& name)
    {
        QObject::connect(sender, signal, &m_context, [this, name](Args... args) {
            QStringList values;
            (values.append(QVariant::fromValue(args).toString()), ...);
            m_entries.append(name + QLatin1Char('(') + values.join(QLatin1Char(',')) +
                             QLatin1Char(')'));
        });
    }
    QStringList entries() const { return m_entries; }
    void clear() { m_entries.clear(); }

private:
    QObject m_context;
    QStringList m_entries;
};

} // namespace qmltest
