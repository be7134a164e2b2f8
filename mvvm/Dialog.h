#pragma once
// Shows a QML view for a view model in a window of its own: a modal dialog,
// a floating dialog, or the main window with a tool bar and menus built from
// the view's declarations. The view model becomes the view's one context
// property "dataContext"; each of its readable QQuickImageProvider*
// properties becomes an image source under the property's name, through a
// proxy (the engine owns the proxy, the view model keeps its provider). The
// view talks to its window through root members whose names begin with
// "dialog" (dialogTitle, dialogResult, dialogCanClose(), ...).
// Also the standard file dialogs, which start in folders remembered across
// runs, and a message box answering with the index of the button pressed.
// Every Dialog shares one process-wide state (DialogState.h): made, it reads
// the settings store; destroyed, it writes it. Also the QML type "Mvvm" 1.0
// "Dialog". GUI thread only; modal calls run a nested event loop.

#include "mvvm/MvvmTypes.h"

#include <QObject>
#include <QString>
#include <QStringList>

namespace Mvvm {

class Dialog : public QObject {
    Q_OBJECT
public:
    enum DialogType { ModalDialog = 0, FloatingDialog = 1, MainWindow = 2 };
    Q_ENUM(DialogType)
    enum IconType { NoIcon = 0, InformationIcon = 1, WarningIcon = 2, CriticalIcon = 3, QuestionIcon = 4 };
    Q_ENUM(IconType)
    // How a message box reads its text: AutoText shows text that looks like
    // markup as rich text (with live links), PlainText shows every
    // character as it is; for text from outside the program.
    enum TextFormat { AutoText = 0, PlainText = 1 };
    Q_ENUM(TextFormat)

    explicit Dialog(QObject* parent = nullptr);
    ~Dialog() override;

    // The view's dialogResult (0 without one): for a modal view when it has
    // closed, for the others at once when shown. Any type but ModalDialog
    // and MainWindow is a floating dialog. A view that does not load is
    // logged and gives 0.
    Q_INVOKABLE int showDialog(const QString& view, int type = ModalDialog);
    Q_INVOKABLE int showDialog(const QString& view, QObject* viewModel, int type = ModalDialog);

    // The chosen files; empty when cancelled.
    Q_INVOKABLE QStringList showOpenDialog(bool singleSelect = true, const QString& filters = QString(),
                                           const QString& directory = QString(),
                                           const QString& caption = QString());
    Q_INVOKABLE QString showSaveDialog(const QString& filters = QString(), const QString& directory = QString(),
                                       const QString& caption = QString());
    Q_INVOKABLE QString showDirectoryDialog(const QString& directory = QString(),
                                            const QString& caption = QString());
    // Index in `buttons` of the button that closed the box; -1 for none of
    // them. The button at defaultIndex answers Enter; Escape and the close
    // button press the one at escapeIndex, else the one button, or the one
    // that is not the default, else none (only a click closes it). The
    // box fits the screen's available area: a plain text's word wider than
    // the box wraps anywhere, a long text may widen the box up to the
    // screen's width, and a text still taller than the screen allows is cut
    // at the bottom; the buttons stay on the screen. Ctrl+C copies the text
    // (or the part selected) as given. The box belongs to (is transient
    // for) the window of the view this Dialog is declared in; one that
    // comes while the user is in another program leaves the keyboard there
    // and asks for attention, and shows once the user is back or closes a
    // window of the program (the close is dropped). A close the window
    // system asks of the box in its first half second on the screen (Alt+F4
    // meant for the window) leaves it showing.
    Q_INVOKABLE int showMessageDialog(const QString& text, int icon = NoIcon, const QString& caption = QString(),
                                      const QStringList& buttons = QStringList(), int defaultIndex = -1,
                                      int format = AutoText, int escapeIndex = -1);

    // Deletes every window a Dialog shows, without asking its view: a
    // session that ends cannot answer questions. A main window still on
    // screen leaves its geometry first. For the program's end, once no
    // event loop runs: the views go before the view models they show.
    static void closeWindowsWithoutAsking();

    // Extra QML import and plugin paths for every view shown afterwards.
    static void addImportPath(const QString& path);
    static void addPluginPath(const QString& path);
};

} // namespace Mvvm
