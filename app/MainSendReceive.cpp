// Sending and receiving handlers of the main window.
#include "ChildWin.h"
#include "Main.h"
#include "intervaltimer.h"
#include "option.h"
#include "receiveui.h"
#include "richedit.h"
#include "sendui.h"
#include "serialport.h"

#include <QComboBox>
#include <QToolButton>

namespace {

// The receive controller needs the settings object, which is created after the
// main window: it is made on first use and then takes the published values.
ReceiveController *EnsureReceiver(TMainForm &form)
{
    if (!form.Receiver && FrmOption) {
        form.Receiver = new ReceiveController(*FrmOption, Port, &form);
        form.Receiver->setNotationText(form.ComboDataType->currentText());
        form.Receiver->setSendButtonDown(form.BtnSend->isChecked());
    }
    return form.Receiver;
}

} // namespace

void TMainForm::SetUpSendReceive()
{
    EnsureReceiver(*this);
    connect(ComboDataType, &QComboBox::currentTextChanged, this, [this](const QString &text) {
        if (Receiver) {
            Receiver->setNotationText(text);
        }
    });
    connect(BtnSend, &QToolButton::toggled, this, [this](bool down) {
        if (Receiver) {
            Receiver->setSendButtonDown(down);
        }
    });
}

void TMainForm::ShutDownSendReceive()
{
    if (Receiver && Receiver->isReceiving()) {
        Receiver->stop();
        BtnRecieve->setChecked(false);
    }
}

void TMainForm::BtnSendClick()
{
    if (!BtnSend->isChecked()) {
        Timer1->setEnabled(false);
        return;
    }
    if (FrmOption && FrmOption->FTimedSend) {
        SendData();
        Timer1->setInterval(FrmOption->FTimeInterval);
        Timer1->setEnabled(true);
        return;
    }
    Timer1->setEnabled(false);
    SendData();
    BtnSend->setChecked(false);
}

void TMainForm::Timer1Timer()
{
    SendData();
}

void TMainForm::SendData()
{
    if (FrmOption) {
        SendToWindow(ActiveChild(), *FrmOption, *ComboDataType, Port);
    }
}

void TMainForm::BtnRecieveClick()
{
    ReceiveController *receiver = EnsureReceiver(*this);
    if (!receiver) {
        return;
    }
    if (BtnRecieve->isChecked()) {
        receiver->start(ActiveChild());
        return;
    }
    receiver->stop();
    if (TMDIChild *child = ActiveChild()) {
        receiver->writeSummary(*child->RichEdit1, FrmOption->FCheckOrder);
    }
}
