#pragma once
// The common base of native menu entries for QML: an item, a separator or a
// whole (sub)menu, each represented in a QMenu by one QAction. Icons come
// from a file (`iconSource`) or from the icon theme (`iconName`) with the
// file as fallback. GUI thread only.

#include <QObject>
#include <QString>

class QAction;

namespace Desktop {

class QtMenuBase : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString iconSource READ iconSource WRITE setIconSource NOTIFY iconSourceChanged)
    Q_PROPERTY(QString iconName READ iconName WRITE setIconName NOTIFY iconNameChanged)

public:
    explicit QtMenuBase(QObject* parent = nullptr);

    // The action that stands for this entry in a QMenu; owned by the entry.
    virtual QAction* action() = 0;

    QString iconSource() const { return m_iconSource; }
    void setIconSource(const QString& source);
    QString iconName() const { return m_iconName; }
    void setIconName(const QString& name);

signals:
    void iconSourceChanged();
    void iconNameChanged();

private:
    QString m_iconSource;
    QString m_iconName;
};

} // namespace Desktop
