#include "mvvm/ActionBars.h"

#include "componentmodel/PropertyBinding.h"

#include <QAction>
#include <QIcon>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMetaMethod>
#include <QQmlListReference>
#include <QToolBar>
#include <QUrl>

namespace Mvvm {

namespace {

QString textOf(QObject* element, const char* property)
{
    return element->property(property).toString();
}

// Icons are named as resource paths (":/image/make"); a QML url property
// may hand them over as "qrc:" or "file:" URLs.
QIcon iconFrom(const QString& source)
{
    if (source.isEmpty())
        return QIcon();
    const QUrl url(source);
    if (url.scheme() == QLatin1String("qrc"))
        return QIcon(QLatin1Char(':') + url.path());
    if (url.isLocalFile())
        return QIcon(url.toLocalFile());
    return QIcon(source);
}

// Choosing the action runs the element's trigger(); bindings keep the
// action's enabled and visible in step with the element's.
void wireAction(QAction* action, QObject* element, QObject* bindingOwner)
{
    const QMetaObject* meta = element->metaObject();
    const int trigger = meta->indexOfMethod("trigger()");
    if (trigger >= 0)
        QObject::connect(action, QMetaMethod::fromSignal(&QAction::triggered), element, meta->method(trigger));
    for (const char* property : {"enabled", "visible"}) {
        if (meta->indexOfProperty(property) >= 0) {
            new ComponentModel::PropertyBinding(action, QLatin1String(property), element, QLatin1String(property),
                                                ComponentModel::PropertyBinding::OneWay, nullptr, bindingOwner);
        }
    }
}

QList<QObject*> elementsWithText(QObject* owner, const char* listProperty)
{
    QList<QObject*> elements;
    const QQmlListReference list(owner, listProperty);
    for (qsizetype i = 0; i < list.count(); ++i) {
        QObject* element = list.at(i);
        if (element && element->property("text").isValid())
            elements << element;
    }
    return elements;
}

} // namespace

bool isItemList(const QVariant& value)
{
    return value.isValid() && qstrcmp(value.metaType().name(), "QQmlListProperty<QQuickItem>") == 0;
}

void buildToolBar(QMainWindow* window, QObject* root, const char* listProperty, QObject* bindingOwner)
{
    auto* toolBar = new QToolBar(window);
    toolBar->setMovable(false);
    toolBar->setFloatable(false);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolBar->setAllowedAreas(Qt::TopToolBarArea);
    for (QObject* element : elementsWithText(root, listProperty)) {
        const QString text = textOf(element, "text");
        if (text == QLatin1String("|")) {
            toolBar->addSeparator();
        } else if (text == QLatin1String("-")) {
            auto* spacer = new QWidget;
            spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
            toolBar->addWidget(spacer);
        } else {
            auto* action = new QAction(iconFrom(textOf(element, "iconSource")), text, window);
            action->setToolTip(textOf(element, "tooltip"));
            wireAction(action, element, bindingOwner);
            toolBar->addAction(action);
        }
        const QVariant iconSize = element->property("iconSize");
        if (iconSize.isValid() && iconSize.toInt() != -1)
            toolBar->setIconSize(QSize(iconSize.toInt(), iconSize.toInt()));
    }
    window->setUnifiedTitleAndToolBarOnMac(true);
    window->addToolBar(Qt::TopToolBarArea, toolBar);
}

void buildMenus(QMainWindow* window, QObject* root, const char* listProperty, QObject* bindingOwner)
{
    for (QObject* element : elementsWithText(root, listProperty)) {
        QMenu* menu = window->menuBar()->addMenu(textOf(element, "text"));
        if (!isItemList(element->property("submenu")))
            continue;
        for (QObject* entry : elementsWithText(element, "submenu")) {
            const QString text = textOf(entry, "text");
            if (text == QLatin1String("-")) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(iconFrom(textOf(entry, "iconSource")), text);
            action->setShortcut(QKeySequence(textOf(entry, "shortcut")));
            wireAction(action, entry, bindingOwner);
        }
    }
}

} // namespace Mvvm
