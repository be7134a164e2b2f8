#include "app/ApplicationTypes.h"

#include "viewmodel/ConvertViewModel.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/PlayerViewModel.h"
#include "viewmodel/SettingsViewModel.h"
#include "viewmodel/SlideViewModel.h"

#include "componentmodel/QmlTypes.h"
#include "feedback/Communication.h"
#include "gui/GuiDesktopTypes.h"
#include "multimedia/MultimediaTypes.h"
#include "mvvm/MvvmTypes.h"
#include "qml/ViewResources.h"

#include <QtQml/qqml.h>

namespace Application {

namespace {

template <class ViewModelType>
void registerUncreatable(const char* name)
{
    qmlRegisterUncreatableType<ViewModelType>("Application", 1, 0, name,
                                              QStringLiteral("Cant'create %1!").arg(QLatin1String(name)));
}

} // namespace

void registerApplicationTypes()
{
    static const bool registered = [] {
        Gui::registerGuiDesktopTypes();
        Mvvm::registerTypes();
        registerViewResources();
        ComponentModel::registerQmlTypes();
        qmlRegisterType<Feedback::Communication>("Feedback", 1, 0, "Communication");
        registerUncreatable<ViewModel::MainViewModel>("MainViewModel");
        registerUncreatable<ViewModel::SlideViewModel>("SlideViewModel");
        registerUncreatable<ViewModel::SettingsViewModel>("SettingsViewModel");
        registerUncreatable<ViewModel::ConvertViewModel>("ConvertViewModel");
        registerUncreatable<ViewModel::PlayerViewModel>("PlayerViewModel");
        return true;
    }();
    Q_UNUSED(registered);
}

} // namespace Application
