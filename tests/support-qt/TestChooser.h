#pragma once
// While a TestChooser stands, the program's file dialogs are shown by the
// tests' file chooser (FileChooserUnderTest.cpp, started as the program
// starts its own), which takes the steps the test gives and notes what it
// saw in a file of the test's. Needs LUMIVISTA_TEST_CHOOSER, the chooser's
// path. GUI thread.

#include "mvvm/FileChooserProcess.h"

#include "support-qt/QmlTesting.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>


class TestChooser {
public:
    TestChooser()
    {
        Mvvm::setFileChooserProgram(QStringLiteral(LUMIVISTA_TEST_CHOOSER));
        qputenv("LUMIVISTA_TEST_CHOOSER_NOTES", QFile::encodeName(notesFile()));
        willTake({});
        // Before the test holds files on a share that may hang.
        Mvvm::prepareFileChoosers();
    }
    ~TestChooser()
    {
        Mvvm::setFileChooserProgram(QString());
        qunsetenv("LUMIVISTA_TEST_CHOOSER_NOTES");
        qunsetenv("LUMIVISTA_TEST_CHOOSER_STEPS");
    }
    TestChooser(const TestChooser&) = delete;
    TestChooser& operator=(const TestChooser&) = delete;

    // The steps of the dialogs shown from now on (none: cancelled at once).
    void willTake(const QStringList& steps)
    {
        qputenv("LUMIVISTA_TEST_CHOOSER_STEPS", steps.join(QLatin1Char('\n')).toUtf8());
    }

    QStringList notes() const
    {
        QFile file(notesFile());
        if (!file.open(QIODevice::ReadOnly))
            return QStringList();
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    // What followed `word` in its last note; empty when none.
    QString noted(const QString& word) const
    {
        const QStringList found = notes().filter(QRegularExpression(QLatin1Char('^') + word + QLatin1String("( |$)")));
        return found.isEmpty() ? QString() : found.last().mid(word.size() + 1);
    }
    // How many notes begin with `word`.
    int count(const QString& word) const
    {
        return notes().filter(QRegularExpression(QLatin1Char('^') + word + QLatin1Char(' '))).size();
    }
    // Whether the chooser noted `word` within `ms`, the window's events
    // running.
    bool notesWithin(const QString& word, int ms) const
    {
        return qmltest::waitFor([&] { return notes().contains(word); }, ms);
    }
    void forgetNotes() { QFile::remove(notesFile()); }

    // Whether every chooser started since the notes were last forgotten has
    // ended within `ms`, the window's events running: its main thread at
    // least (a thread of it may still wait in the kernel for a share).
    bool allEndedWithin(int ms) const
    {
        return qmltest::waitFor(
            [this] {
                for (const QString& pid : notes().filter(QRegularExpression(QStringLiteral("^pid ")))) {
                    QFile status(QStringLiteral("/proc/%1/status").arg(pid.mid(4)));
                    if (status.open(QIODevice::ReadOnly) && !status.readAll().contains("\nState:\tZ"))
                        return false;
                }
                return true;
            },
            ms);
    }

private:
    QString notesFile() const { return folder_.filePath(QStringLiteral("notes")); }

    QTemporaryDir folder_;
};
