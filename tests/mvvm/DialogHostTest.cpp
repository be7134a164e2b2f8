#include "HostedWindows.h"

#include "componentmodel/ImageProvider.h"
#include "mvvm/Dialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCloseEvent>
#include <QDialog>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QScreen>
#include <QSettings>
#include <QToolBar>

#include <functional>
#include <memory>

using Mvvm::Dialog;

namespace {

const QString windowView = QStringLiteral("qrc:/views/window.qml");
const QString plainView = QStringLiteral("qrc:/views/plain.qml");

class PicturesViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QQuickImageProvider* photos READ photos CONSTANT)
    Q_PROPERTY(QQuickImageProvider* banners READ banners CONSTANT)
    Q_PROPERTY(QString name READ name CONSTANT)
public:
    QQuickImageProvider* photos() { return &photos_; }
    QQuickImageProvider* banners() { return nullptr; }
    QString name() const { return QStringLiteral("model"); }
    ComponentModel::ImageProvider photos_;
};

// Runs a function for each call of its slot: a receiver for signals of
// QML views, which have no member-function pointers.
class OnSignal : public QObject {
    Q_OBJECT
public:
    OnSignal(QObject* parent, std::function<void()> onCall) : QObject(parent), onCall_(std::move(onCall)) {}
public slots:
    void call() { onCall_(); }

private:
    std::function<void()> onCall_;
};

void closeAndFlush(QWidget* window)
{
    window->close();
    flushDeletes();
}

} // namespace

TEST(DialogHost, ModalViewKeepsItsWindowWhileCanCloseSaysNoAndReturnsItsLastResult)
{
    Dialog host;
    bool stayedOpen = false;
    whenModalShows([&](QWidget* window) {
        QObject* root = rootOf(window);
        ASSERT_TRUE(root);
        EXPECT_EQ(window->windowTitle(), QLatin1String("Sample"));
        root->setProperty("allowClose", false);
        QMetaObject::invokeMethod(root, "finish", Q_ARG(QVariant, 5));
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(window, &escape);
        window->close();
        stayedOpen = window->isVisible();
        root->setProperty("allowClose", true);
        QMetaObject::invokeMethod(root, "finish", Q_ARG(QVariant, 7));
    });
    EXPECT_EQ(host.showDialog(windowView), 7);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// A filter put on the window while the view is asked (as the menu bar does
// after Alt) brings the same close to the host's filter once more: asked
// once. A later close is asked again, even one that lies where the allowed
// one lay before any event is processed.
TEST(DialogHost, EachCloseIsAskedOnceWhereverItLies)
{
    Dialog host;
    const QWidgetList before = QApplication::topLevelWidgets();
    host.showDialog(windowView, Dialog::FloatingDialog);
    QPointer<QDialog> window = newWindow<QDialog>(before);
    ASSERT_TRUE(window);
    QObject* root = rootOf(window);
    int asked = 0;
    QObject::connect(root, SIGNAL(askedToClose()), new OnSignal(window, [&] {
        ++asked;
        window->installEventFilter(new QObject(window));
    }), SLOT(call()));

    QCloseEvent close;
    QApplication::sendEvent(window, &close);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(close.isAccepted());
    EXPECT_FALSE(window->isVisible());

    window->show();
    root->setProperty("allowClose", false);
    close.setAccepted(true);
    QApplication::sendEvent(window, &close);
    EXPECT_EQ(asked, 2);
    EXPECT_FALSE(close.isAccepted());
    EXPECT_TRUE(window->isVisible());
    root->setProperty("allowClose", true);
    closeAndFlush(window);
    EXPECT_TRUE(window.isNull());
}

TEST(DialogHost, ModalViewWithoutMembersClosesAndGivesZero)
{
    Dialog host;
    whenModalShows([](QWidget* window) { window->close(); });
    EXPECT_EQ(host.showDialog(plainView, Dialog::ModalDialog), 0);
}

TEST(DialogHost, FloatingTypesReturnAtOnceAndDeleteThemselvesOnClose)
{
    Dialog host;
    for (const int type : {int(Dialog::FloatingDialog), 3, -1}) {
        const QWidgetList before = QApplication::topLevelWidgets();
        EXPECT_EQ(host.showDialog(windowView, type), 3) << type;
        QPointer<QDialog> window = newWindow<QDialog>(before);
        ASSERT_TRUE(window) << type;
        EXPECT_FALSE(window->isModal());
        EXPECT_EQ(window->parentWidget(), nullptr);
        EXPECT_EQ(window->findChild<QToolBar*>(), nullptr);
        EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowContextHelpButtonHint));
        QQuickWidget* view = window->findChild<QQuickWidget*>();
        EXPECT_FALSE(view->rootContext()->contextProperty(QStringLiteral("dataContext")).isValid());
        closeAndFlush(window);
        EXPECT_TRUE(window.isNull()) << type;
    }
}

TEST(DialogHost, FullScreenFollowsTheViewWhileShown)
{
    Dialog host;
    const QWidgetList before = QApplication::topLevelWidgets();
    host.showDialog(windowView, Dialog::FloatingDialog);
    QDialog* window = newWindow<QDialog>(before);
    ASSERT_TRUE(window);
    QObject* root = rootOf(window);
    EXPECT_FALSE(window->windowState().testFlag(Qt::WindowFullScreen));
    root->setProperty("dialogFullScreen", true);
    EXPECT_TRUE(window->windowState().testFlag(Qt::WindowFullScreen));
    root->setProperty("dialogFullScreen", false);
    EXPECT_FALSE(window->windowState().testFlag(Qt::WindowFullScreen));
    closeAndFlush(window);
}

TEST(DialogHost, MainWindowBuildsToolBarAndMenusFromTheView)
{
    Dialog host;
    const QWidgetList before = QApplication::topLevelWidgets();
    EXPECT_EQ(host.showDialog(windowView, Dialog::MainWindow), 3);
    QPointer<QMainWindow> window = newWindow<QMainWindow>(before);
    ASSERT_TRUE(window);
    QObject* root = rootOf(window);

    const QList<QToolBar*> toolBars = window->findChildren<QToolBar*>();
    ASSERT_EQ(toolBars.size(), 1);
    QToolBar* bar = toolBars.first();
    EXPECT_FALSE(bar->isMovable());
    EXPECT_FALSE(bar->isFloatable());
    EXPECT_EQ(bar->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    EXPECT_EQ(bar->iconSize(), QSize(32, 32));
    const QList<QAction*> tools = bar->actions();
    ASSERT_EQ(tools.size(), 5);
    EXPECT_EQ(tools[0]->text(), QLatin1String("Make"));
    EXPECT_EQ(tools[0]->toolTip(), QLatin1String("Make the show"));
    EXPECT_TRUE(tools[1]->isSeparator());
    EXPECT_EQ(tools[2]->text(), QLatin1String("Play"));
    EXPECT_FALSE(tools[2]->isEnabled());
    QWidget* spacer = bar->widgetForAction(tools[3]);
    ASSERT_TRUE(spacer);
    EXPECT_EQ(spacer->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    EXPECT_EQ(tools[4]->text(), QLatin1String("Help"));
    EXPECT_FALSE(tools[4]->isVisible());

    tools[0]->trigger();
    EXPECT_EQ(root->property("lastTriggered").toString(), QLatin1String("Make"));
    QObject* playElement = QQmlListReference(root, "dialogToolBar").at(2);
    playElement->setProperty("enabled", true);
    EXPECT_TRUE(tools[2]->isEnabled());

    const QList<QAction*> menus = window->menuBar()->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->text(), QLatin1String("File"));
    EXPECT_EQ(menus[1]->text(), QLatin1String("Help"));
    const QList<QAction*> entries = menus[0]->menu()->actions();
    ASSERT_EQ(entries.size(), 4);
    EXPECT_EQ(entries[0]->text(), QLatin1String("New"));
    EXPECT_EQ(entries[0]->shortcut(), QKeySequence(QStringLiteral("Ctrl+N")));
    EXPECT_TRUE(entries[1]->isSeparator());
    EXPECT_EQ(entries[2]->text(), QLatin1String("|"));
    EXPECT_EQ(entries[3]->text(), QLatin1String("Quit"));
    EXPECT_FALSE(entries[3]->isEnabled());
    entries[0]->trigger();
    EXPECT_EQ(root->property("lastTriggered").toString(), QLatin1String("New"));

    delete window;  // not closed: closing would save this window's geometry
}

TEST(DialogHost, ListsOfOtherKindsMakeNoToolBarOrMenus)
{
    Dialog host;
    const QWidgetList before = QApplication::topLevelWidgets();
    host.showDialog(QStringLiteral("qrc:/views/otherlists.qml"), Dialog::MainWindow);
    QMainWindow* window = newWindow<QMainWindow>(before);
    ASSERT_TRUE(window);
    EXPECT_EQ(window->findChild<QToolBar*>(), nullptr);
    EXPECT_TRUE(window->menuBar()->actions().isEmpty());
    delete window;
}

TEST(DialogHost, ViewModelReachesTheViewAsDataContextAndThroughItsProviders)
{
    PicturesViewModel model;
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::red);
    model.photos_.setPixmap(QStringLiteral("p"), QPixmap::fromImage(picture));
    {
        Dialog host;
        for (int shown = 0; shown < 2; ++shown) {
            const QWidgetList before = QApplication::topLevelWidgets();
            host.showDialog(QStringLiteral("qrc:/views/pictures.qml"), &model, Dialog::FloatingDialog);
            QDialog* window = newWindow<QDialog>(before);
            ASSERT_TRUE(window);
            EXPECT_EQ(rootOf(window)->property("name").toString(), QLatin1String("model"));
            // Asked as "image://photos/p" would ask it. (Drawing it is left out: Qt Quick's
            // software renderer keeps drawn provider textures past the view, a leak of Qt's.)
            QQmlEngine* engine = window->findChild<QQuickWidget*>()->engine();
            auto* photos = dynamic_cast<QQuickImageProvider*>(engine->imageProvider(QStringLiteral("photos")));
            ASSERT_TRUE(photos);
            EXPECT_NE(photos, &model.photos_);
            QSize size;
            EXPECT_EQ(photos->requestPixmap(QStringLiteral("p"), &size, QSize(4, 3)).size(), QSize(4, 3));
            EXPECT_EQ(size, QSize(40, 30));
            EXPECT_EQ(engine->imageProvider(QStringLiteral("banners")), nullptr);
            closeAndFlush(window);  // the engine deletes its proxy, not the store
        }
    }
    EXPECT_EQ(model.photos_.requestPixmap(QStringLiteral("p"), nullptr, QSize()).size(), QSize(40, 30));
}

TEST(DialogHost, ViewThatDoesNotLoadIsLoggedAndShowsNothing)
{
    Dialog host;
    const QWidgetList before = QApplication::topLevelWidgets();
    for (const int type : {int(Dialog::ModalDialog), int(Dialog::FloatingDialog), int(Dialog::MainWindow)}) {
        EXPECT_EQ(host.showDialog(QStringLiteral("qrc:/views/broken.qml"), type), 0);
        EXPECT_EQ(host.showDialog(QStringLiteral("qrc:/views/missing.qml"), type), 0);
    }
    flushDeletes();
    EXPECT_EQ(QApplication::topLevelWidgets().size(), before.size());
}

TEST(DialogHost, MainWindowGeometryIsSavedOnCloseOnlyAndRestoredAtTheNextStart)
{
    QSettings().remove(QStringLiteral("Dialog"));
    QRect placed;
    {
        Dialog host;
        const QWidgetList before = QApplication::topLevelWidgets();
        host.showDialog(windowView, Dialog::MainWindow);
        QPointer<QMainWindow> window = newWindow<QMainWindow>(before);
        ASSERT_TRUE(window);
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        EXPECT_EQ(window->pos(), QPoint((screen.width() - 1) / 2 - (window->width() - 1) / 2,
                                        (screen.height() - 1) / 2 - (window->height() - 1) / 2));

        window->setGeometry(37, 41, 333, 222);
        placed = window->geometry();
        rootOf(window)->setProperty("allowClose", false);
        window->close();
        ASSERT_TRUE(window && window->isVisible());
        EXPECT_FALSE(QSettings().contains(QStringLiteral("Dialog/mainWindowGeometry")));
        rootOf(window)->setProperty("allowClose", true);
        closeAndFlush(window);
        EXPECT_TRUE(window.isNull());
    }
    EXPECT_FALSE(QSettings().value(QStringLiteral("Dialog/mainWindowGeometry")).toByteArray().isEmpty());

    Dialog nextStart;
    const QWidgetList before = QApplication::topLevelWidgets();
    nextStart.showDialog(plainView, Dialog::MainWindow);
    QMainWindow* window = newWindow<QMainWindow>(before);
    ASSERT_TRUE(window);
    EXPECT_EQ(window->geometry(), placed);
    delete window;
}


TEST(DialogHost, QmlViewsCreateDialogsOfTheMvvmModule)
{
    for (const char* name : {"Mvvm::Dialog::DialogType", "Mvvm::Dialog::IconType", "QQuickImageProvider*"})
        EXPECT_TRUE(QMetaType::fromName(name).isValid()) << name;
    QQmlEngine engine;
    QQmlComponent component(&engine);
    component.setData("import QtQml 2.0\nimport Mvvm 1.0\n"
                      "QtObject { property int type: Dialog.MainWindow; property int icon: Dialog.QuestionIcon;\n"
                      "           property QtObject host: Dialog {} }\n",
                      QUrl());
    std::unique_ptr<QObject> root(component.create());
    ASSERT_TRUE(root) << component.errorString().toStdString();
    EXPECT_EQ(root->property("type").toInt(), 2);
    EXPECT_EQ(root->property("icon").toInt(), 4);
    EXPECT_TRUE(qobject_cast<Dialog*>(root->property("host").value<QObject*>()));
}

#include "DialogHostTest.moc"
