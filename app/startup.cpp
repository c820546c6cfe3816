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
}

void DestroyMainObjects()
{
    if (MainForm) {
        // The receive thread writes into document windows: it must end before they go.
        MainForm->ShutDownSendReceive();
    }
    // The About box and the settings dialog are children of the main window.
    delete MainForm;
    MainForm = nullptr;
    AboutBox = nullptr;
    FrmOption = nullptr;
}
