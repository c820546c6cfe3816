// Sending and receiving handlers of the main window.
#include "ChildWin.h"
#include "Main.h"
#include "intervaltimer.h"
#include "maintexts.h"
#include "option.h"
#include "receiveui.h"
#include "richedit.h"
#include "sendui.h"
#include "serialport.h"

#include <QComboBox>
#include <QSignalBlocker>
#include <QStatusBar>
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
    Sender = new SendController(Port, this);
    Sender->setNotationText(ComboDataType->currentText());
    connect(Sender, &SendController::finished, this, &TMainForm::sendFinished);
    connect(ComboDataType, &QComboBox::currentTextChanged, this, [this](const QString &text) {
        if (Receiver) {
            Receiver->setNotationText(text);
        }
        Sender->setNotationText(text);
    });
    connect(BtnSend, &QToolButton::toggled, this, [this](bool down) {
        if (Receiver) {
            Receiver->setSendButtonDown(down);
        }
    });
}

void TMainForm::ShutDownSendReceive()
{
    // The send thread echoes into a document window: it ends before the windows go.
    if (Sender && Sender->isSending()) {
        const QSignalBlocker blocker(Sender);
        Sender->stop();
    }
    if (Receiver && Receiver->isReceiving()) {
        Receiver->stop();
        BtnRecieve->setChecked(false);
    }
}

void TMainForm::BtnSendClick()
{
    if (!BtnSend->isChecked()) {
        Timer1->setEnabled(false);
        Sender->stop();
        return;
    }
    if (FrmOption && FrmOption->FTimedSend) {
        m_singleSend = false;
        SendData();
        // A send that could not even start has raised BtnSend again.
        if (BtnSend->isChecked()) {
            Timer1->setInterval(FrmOption->FTimeInterval);
            Timer1->setEnabled(true);
        }
        return;
    }
    Timer1->setEnabled(false);
    m_singleSend = true;
    SendData();
    // BtnSend comes up when the send ends (sendFinished), at once when none started.
    if (!Sender->isSending()) {
        BtnSend->setChecked(false);
    }
}

void TMainForm::Timer1Timer()
{
    SendData();
}

void TMainForm::SendData()
{
    // A tick that falls due while a send still runs is skipped.
    if (!FrmOption || Sender->isSending()) {
        return;
    }
    TMDIChild *child = ActiveChild();
    if (!child) {
        return;
    }
    if (!Port.isOpen()) {
        showPortProblem(MainTexts::PortNotOpen);
        Timer1->setEnabled(false);
        BtnSend->setChecked(false);
        return;
    }
    Sender->start(child, *FrmOption);
}

void TMainForm::sendFinished(const SendResult &result)
{
    if (result.outcome == SendOutcome::WriteFailed) {
        showPortProblem(MainTexts::WriteFailed.arg(result.bytesSent));
        Timer1->setEnabled(false);
        BtnSend->setChecked(false);
        return;
    }
    if (m_singleSend) {
        BtnSend->setChecked(false);
    }
}

void TMainForm::holdSending()
{
    Sender->pause();
}

void TMainForm::resumeSending()
{
    Sender->resume(FrmOption ? FrmOption->FTwoCharDelay.load() : 0);
}

void TMainForm::showPortProblem(const QString &text)
{
    StatusBar->showMessage(text);
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
