#include "mvvm/Dialog.h"

#include "componentmodel/ImageProvider.h"
#include "mvvm/ActionBars.h"
#include "mvvm/DialogCallbacks.h"
#include "mvvm/DialogState.h"

#include <QApplication>
#include <QDebug>
#include <QDialog>
#include <QGridLayout>
#include <QMainWindow>
#include <QMetaProperty>
#include <QPointer>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWidget>
#include <QScreen>

namespace Mvvm {

namespace {

// The window a view is shown in and the widget that holds the view.
struct HostWindow {
    QWidget* window;
    QWidget* content;
};

HostWindow createWindow(int type)
{
    if (type == Dialog::MainWindow) {
        auto* window = new QMainWindow;
        auto* central = new QWidget;
        window->setCentralWidget(central);
        return {window, central};
    }
    QWidget* parent = type == Dialog::ModalDialog ? QApplication::activeWindow() : nullptr;
    auto* dialog = new QDialog(parent);
    return {dialog, dialog};
}

void addImageProviders(QQmlEngine* engine, QObject* viewModel)
{
    const QMetaObject* meta = viewModel->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        if (!property.isReadable() || qstrcmp(property.typeName(), "QQuickImageProvider*") != 0)
            continue;
        auto* provider = property.read(viewModel).value<QQuickImageProvider*>();
        if (!provider) {
            qWarning().nospace() << "[Dialog] image provider " << property.name() << " of "
                                 << meta->className() << " is null; its pictures stay empty";
            continue;
        }
        engine->addImageProvider(QLatin1String(property.name()), new ComponentModel::ProxyImageProvider(provider));
    }
}

void applySizes(QObject* root, QWidget* content, QGridLayout* layout)
{
    const auto applyInt = [root](const char* name, auto apply) {
        const QVariant value = root->property(name);
        if (value.isValid())
            apply(value.toInt());
    };
    applyInt("dialogMinWidth", [content](int v) { content->setMinimumWidth(v); });
    applyInt("dialogMinHeight", [content](int v) { content->setMinimumHeight(v); });
    applyInt("dialogMaxWidth", [content](int v) { content->setMaximumWidth(v); });
    applyInt("dialogMaxHeight", [content](int v) { content->setMaximumHeight(v); });
    const QVariant resizable = root->property("dialogResizable");
    if (resizable.isValid() && !resizable.toBool())
        layout->setSizeConstraint(QLayout::SetFixedSize);
}

void applyFlagsAndState(QObject* root, QWidget* window)
{
    Qt::WindowFlags flags = window->windowFlags();
    Qt::WindowStates state = window->windowState();
    const auto applyHint = [root, &flags](const char* name, Qt::WindowType hint) {
        const QVariant value = root->property(name);
        if (value.isValid())
            flags.setFlag(hint, value.toBool());
    };
    applyHint("dialogMinimizeButton", Qt::WindowMinimizeButtonHint);
    applyHint("dialogMaximizeButton", Qt::WindowMaximizeButtonHint);
    applyHint("dialogCloseButton", Qt::WindowCloseButtonHint);
    const QVariant fullScreen = root->property("dialogFullScreen");
    if (fullScreen.isValid())
        state.setFlag(Qt::WindowFullScreen, fullScreen.toBool());
    flags.setFlag(Qt::WindowContextHelpButtonHint, false);
    window->setWindowFlags(flags);
    window->setWindowState(state);
}

// First start: the size hint, in the middle of the default screen.
void placeMainWindow(QWidget* window)
{
    const QByteArray& geometry = dialogState().mainWindowGeometry;
    if (!geometry.isEmpty() && window->restoreGeometry(geometry))
        return;
    window->adjustSize();
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, 0, 0);
    window->move(area.x() + (area.width() - 1) / 2 - (window->width() - 1) / 2,
                 area.y() + (area.height() - 1) / 2 - (window->height() - 1) / 2);
}

int resultOf(QObject* root)
{
    const QVariant result = root->property("dialogResult");
    return result.isValid() ? result.toInt() : 0;
}

} // namespace

Dialog::Dialog(QObject* parent) : QObject(parent)
{
    loadDialogSettings();
}

Dialog::~Dialog()
{
    saveDialogSettings();
}

int Dialog::showDialog(const QString& view, int type)
{
    return showDialog(view, nullptr, type);
}

int Dialog::showDialog(const QString& view, QObject* viewModel, int type)
{
    const HostWindow host = createWindow(type);
    // Watched, not owned: a modal dialog's parent may delete it while it runs.
    QPointer<QWidget> window = host.window;
    auto* layout = new QGridLayout(host.content);
    auto* quick = new QQuickWidget(host.content);

    if (viewModel) {
        addImageProviders(quick->engine(), viewModel);
        quick->rootContext()->setContextProperty(QStringLiteral("dataContext"), viewModel);
    }
    const DialogState& state = dialogState();
    for (const QString& path : state.importPaths)
        quick->engine()->addImportPath(path);
    for (const QString& path : state.pluginPaths)
        quick->engine()->addPluginPath(path);

    quick->setSource(QUrl(view));
    quick->setResizeMode(QQuickWidget::SizeRootObjectToView);
    QObject* root = quick->rootObject();
    if (!root) {
        QStringList errors;
        for (const QQmlError& error : quick->errors())
            errors << error.toString();
        qWarning().noquote() << "[Dialog] view" << view << "did not load:" << errors.join(QLatin1String("; "));
        delete window;
        return 0;
    }

    const QVariant title = root->property("dialogTitle");
    if (title.isValid())
        host.window->setWindowTitle(title.toString());
    applySizes(root, host.content, layout);
    applyFlagsAndState(root, host.window);
    if (auto* mainWindow = qobject_cast<QMainWindow*>(host.window)) {
        if (isItemList(root->property("dialogToolBar")))
            buildToolBar(mainWindow, root, "dialogToolBar", this);
        if (isItemList(root->property("dialogMenu")))
            buildMenus(mainWindow, root, "dialogMenu", this);
    }
    new DialogCallbacks(host.window, quick, root);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(quick, 0, 0);

    if (type == ModalDialog) {
        QPointer<QObject> watchedRoot = root;
        static_cast<QDialog*>(host.window)->exec();
        const int result = watchedRoot ? resultOf(watchedRoot) : 0;
        delete window;  // with its view, root object and callbacks
        return result;
    }
    if (type == MainWindow)
        placeMainWindow(host.window);
    host.window->setAttribute(Qt::WA_DeleteOnClose);
    host.window->show();
    return resultOf(root);
}

void Dialog::closeWindowsWithoutAsking()
{
    // A window may own another (a modal dialog is its parent's child).
    QList<QPointer<QWidget>> windows;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->findChild<DialogCallbacks*>(QString(), Qt::FindDirectChildrenOnly))
            windows << widget;
    for (const QPointer<QWidget>& window : windows) {
        if (!window)
            continue;
        if (qobject_cast<QMainWindow*>(window) && window->isVisible())
            rememberMainWindowGeometry(*window);
        delete window.data();
    }
}

void Dialog::addImportPath(const QString& path)
{
    dialogState().importPaths << path;
}

void Dialog::addPluginPath(const QString& path)
{
    dialogState().pluginPaths << path;
}

} // namespace Mvvm
