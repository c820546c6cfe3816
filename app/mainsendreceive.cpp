// Sending and receiving handlers of the main window.
#include "Main.h"
#include "document/ChildWin.h"
#include "intervaltimer.h"
#include "maintexts.h"
#include "receive/receiveui.h"
#include "send/sendui.h"
#include "serial/serialport.h"
#include "settings/option.h"
#include "textview/richedit.h"

#include <QComboBox>
#include <QPointer>
#include <QSignalBlocker>
#include <QToolButton>

namespace {

// The port is away but the port watch is bringing it back: a lost device, or a
// network port whose connection is still being made.
bool PortComingBack()
{
    const SerialPort::State state = Port.state();
    return state == SerialPort::State::Lost || state == SerialPort::State::Connecting;
}

QString EndText(ReceiveEngine::EndReason reason)
{
    using Reason = ReceiveEngine::EndReason;
    switch (reason) {
    case Reason::DocumentFull:
        return MainTexts::ReceiveEndedDocumentFull;
    case Reason::ZeroLineLength:
        return MainTexts::ReceiveEndedZeroLine;
    case Reason::ZeroParagraphLength:
        return MainTexts::ReceiveEndedZeroParagraph;
    case Reason::DocumentGone:
    case Reason::Running:
    case Reason::Stopped:
        break;
    }
    return MainTexts::ReceiveEndedDocumentGone;
}

// A reception that ended by itself is stopped as a release of BtnRecieve would,
// and the button comes up. Its summary goes into the reception's own window when
// that still exists and has room for all of it, as the received text is there;
// else into the active window if that has room; else nowhere, which the status
// bar says.
void ReceptionEndedByItself(TMainForm &form, ReceiveEngine::EndReason reason)
{
    ReceiveController *receiver = form.Receiver;
    if (!receiver || !receiver->isReceiving()) {
        return;
    }
    const QPointer<RichEdit> own = receiver->document();
    receiver->stop();
    form.BtnRecieve->setChecked(false);
    const bool checkOrder = FrmOption && FrmOption->FCheckOrder;
    RichEdit *target = nullptr;
    if (own && receiver->summaryFits(*own, checkOrder)) {
        target = own;
    } else if (TMDIChild *active = form.ActiveChild();
               active && receiver->summaryFits(*active->RichEdit1, checkOrder)) {
        target = active->RichEdit1;
    }
    QString text = EndText(reason);
    if (target) {
        receiver->writeSummary(*target, checkOrder);
    } else {
        text += MainTexts::ReceiveSummaryNowhere;
    }
    form.showStateMessage(text);
}

// The receive controller needs the settings object, which is created after the
// main window: it is made on first use and then takes the published values.
ReceiveController *EnsureReceiver(TMainForm &form)
{
    if (!form.Receiver && FrmOption) {
        form.Receiver = new ReceiveController(*FrmOption, Port, &form);
        form.Receiver->setNotationText(form.ComboDataType->currentText());
        form.Receiver->setSendButtonDown(form.BtnSend->isChecked());
        QObject::connect(form.Receiver, &ReceiveController::receptionEnded, &form,
            [&form](ReceiveEngine::EndReason reason) { ReceptionEndedByItself(form, reason); });
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
        Sender->setSeries(false);
        return;
    }
    if (FrmOption && FrmOption->FTimedSend) {
        m_singleSend = false;
        Sender->setSeries(true);
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
    Sender->setSeries(false);
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
    // A tick that falls due while a send still runs waits for its end, as a timer
    // message waits in the queue: ticks that fall due meanwhile are one tick, so a
    // send longer than the interval is followed at once by the next, never by a burst.
    if (!FrmOption) {
        return;
    }
    if (Sender->isSending()) {
        m_tickWaiting = !m_singleSend;
        return;
    }
    m_tickWaiting = false;
    TMDIChild *child = ActiveChild();
    if (!child) {
        return;
    }
    if (!Port.isOpen()) {
        showStateMessage(MainTexts::SendPortNotOpen);
        // A timed send outlives a device that went away (or a network port still
        // connecting): its ticks send nothing until the port watch has it back.
        if (m_singleSend || !PortComingBack()) {
            Timer1->setEnabled(false);
            BtnSend->setChecked(false);
        }
        return;
    }
    // What arrived before the send goes in before its header; what arrives during
    // it waits for the end of its echo line.
    holdReceivedFor(child);
    if (!Sender->start(child, *FrmOption)) {
        releaseReceived();
    }
}

void TMainForm::sendFinished(const SendResult &result)
{
    releaseReceived();
    if (m_tickWaiting) {
        // After the handlers of this end have run; a timer stopped meanwhile (the
        // button released, a failed write) drops the tick.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_tickWaiting && Timer1->isEnabled()) {
                    SendData();
                }
            },
            Qt::QueuedConnection);
    }
    if (result.outcome == SendOutcome::WriteFailed) {
        showStateMessage(MainTexts::WriteFailed.arg(result.bytesSent));
        if (m_singleSend || !PortComingBack()) {
            Timer1->setEnabled(false);
            BtnSend->setChecked(false);
        }
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
