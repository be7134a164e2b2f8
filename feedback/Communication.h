#pragma once
// The problem report of the QML views (type "Feedback" 1.0 Communication):
// a "mailto:" address to the support mailbox (setting "mailSupport") with
// the subject "[Problem] <title>" and a body of the description followed by
// the application's name, version and platform, handed to the desktop's
// mail program; when nothing takes it (no opener, or one that fails: no
// program for "mailto:"), the feedback page (setting "webFeedback") is
// opened instead, as it is when the setting is no "mailto:" address. When
// the desktop takes neither, reportNotSent tells the user so, naming where
// the report would have gone; an opener's failure is known once it has
// ended, so this may come after reportProblem returned. GUI thread.

#include <QObject>
#include <QString>

namespace Feedback {

class Communication : public QObject {
    Q_OBJECT
public:
    explicit Communication(QObject* parent = nullptr);

    Q_INVOKABLE void reportProblem(const QString& title, const QString& description);

signals:
    void reportNotSent(QString message);

private:
    static QString notSentText(const QString& mailAddress, const QString& page);
};

} // namespace Feedback
