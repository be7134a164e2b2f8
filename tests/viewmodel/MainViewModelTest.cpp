// The notices of the notification service as the main view meets them.
// Apart from the threaded tests: a QML engine's own threads are beyond the
// race checker's sight.

#include "ViewModelDoubles.h"

#include "viewmodel/MainViewModel.h"

#include "support-qt/QmlTesting.h"

#include <QQmlContext>

#include <gtest/gtest.h>

using ViewModel::MainViewModel;

TEST(MainViewModel, PassesNoticesToTheViewAndReturnsWhatItAnswersThroughQml)
{
    ViewModelTest::clearSettingsStore();
    MainViewModel main;
    // The main view answers as QML does: by setting needUpdate on the object.
    QQmlEngine engine;
    engine.rootContext()->setContextProperty("dataContext", &main);
    const auto view = qmltest::create(engine,
                                      "import QtQml 2.15\n"
                                      "QtObject {\n"
                                      "  property bool answering: false\n"
                                      "  function answer(message, retVal) {\n"
                                      "    if (answering) retVal.needUpdate = message === 'Open Site'\n"
                                      "  }\n"
                                      "  Component.onCompleted: dataContext.updateReceived.connect(answer)\n"
                                      "}\n");
    ASSERT_NE(nullptr, view);
    const struct {
        bool answering;
        const char* message;
        bool incoming;
        bool expected;
    } cases[] = {
        {false, "Open Site", false, false}, {false, "Open Site", true, true},
        {true, "Open Site", false, true},   {true, "Close", true, false},
    };
    for (const auto& c : cases) {
        view->setProperty("answering", c.answering);
        bool needUpdate = c.incoming;
        main.receiveUpdate(c.message, needUpdate);
        EXPECT_EQ(c.expected, needUpdate) << c.answering << " " << c.message << " " << c.incoming;
    }

    qmltest::SignalLog emitted;
    emitted.record(&main, &MainViewModel::messageReceived, "messageReceived");
    main.receiveMessage("news");
    EXPECT_EQ(QStringList({"messageReceived(news)"}), emitted.entries());
}
