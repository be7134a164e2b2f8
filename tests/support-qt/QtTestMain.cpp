// Test entry point for the Qt side: one QApplication for the whole program,
// on the offscreen platform unless the caller chose another, with settings
// and data folders of its own so that no test reads or writes the user's.

#include <QApplication>
#include <QTemporaryDir>
#include <QtGlobal>

#include <cstring>
#include <memory>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Started as the program's file chooser (by a test that shows a file
    // dialog without the tests' chooser): never the tests again.
    for (const char* helper : {"--choose-file", "--program-launcher"})
        if (argc > 1 && std::strcmp(argv[1], helper) == 0)
            return 64;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    // A death test's child (this program run again by the threadsafe
    // style) ends by _Exit, which would leave a folder of its own behind:
    // it keeps its parent's, which the parent removes.
    bool deathTestChild = false;
    for (int i = 1; i < argc; ++i)
        deathTestChild = deathTestChild || std::strncmp(argv[i], "--gtest_internal_run_death_test", 31) == 0;
    std::unique_ptr<QTemporaryDir> home;
    if (!deathTestChild) {
        home = std::make_unique<QTemporaryDir>();
        if (!home->isValid())
            return 2;
        const QString path = home->path();
        qputenv("HOME", path.toUtf8());
        qputenv("XDG_CONFIG_HOME", (path + QStringLiteral("/config")).toUtf8());
        qputenv("XDG_DATA_HOME", (path + QStringLiteral("/data")).toUtf8());
        qputenv("XDG_CACHE_HOME", (path + QStringLiteral("/cache")).toUtf8());
        // Qt wants a private runtime folder; the temporary one is made 0700.
        qputenv("XDG_RUNTIME_DIR", path.toUtf8());
    }

    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("lumivista-tests"));
    QApplication::setApplicationName(QStringLiteral("lumivista-tests"));
    return RUN_ALL_TESTS();
}
