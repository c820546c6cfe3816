#include "startup.h"

#include "Main.h"
#include "about.h"
#include "option.h"

void CreateMainObjects()
{
    MainForm = new TMainForm;
    AboutBox = new TAboutBox(MainForm);
    FrmOption = new TFrmOption(MainForm);
    QObject::connect(
        FrmOption, &TFrmOption::settingsAccepted, MainForm, &TMainForm::SettingsAccepted);
    QObject::connect(FrmOption, &TFrmOption::portChangeStarting, MainForm, &TMainForm::holdSending);
    QObject::connect(
        FrmOption, &TFrmOption::portChangeFinished, MainForm, &TMainForm::resumeSending);
}

void DestroyMainObjects()
{
    if (MainForm) {
        // The receive and send threads write into document windows: they must end
        // before the windows go.
        MainForm->ShutDownSendReceive();
    }
    // The About box and the settings dialog are children of the main window.
    delete MainForm;
    MainForm = nullptr;
    AboutBox = nullptr;
    FrmOption = nullptr;
}
