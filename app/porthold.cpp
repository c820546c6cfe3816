#include "porthold.h"

#include "Main.h"
#include "intervaltimer.h"
#include "receiveui.h"
#include "sendui.h"

#include <QToolButton>

namespace {
int holds = 0;
} // namespace

PortHold::PortHold(TMainForm &form)
    : m_form(form)
{
    ++holds;
    m_timerWasOn = form.Timer1->isEnabled();
    form.Timer1->setEnabled(false);
    m_wasSending = form.Sender && form.Sender->isSending();
    if (m_wasSending) {
        form.holdSending();
    }
    m_wasReceiving = form.Receiver && form.Receiver->isReceiving();
    if (m_wasReceiving) {
        form.Receiver->stop();
    }
    form.UpdateMenuItems();
}

PortHold::~PortHold()
{
    --holds;
    m_form.UpdateMenuItems();
    if (m_wasReceiving && m_form.BtnRecieve->isChecked()) {
        m_form.Receiver->start(m_form.ActiveChild());
    }
    if (m_wasSending) {
        m_form.resumeSending();
    }
    if (m_timerWasOn && m_form.BtnSend->isChecked()) {
        m_form.Timer1->setEnabled(true);
    }
}

bool PortHold::isHeld()
{
    return holds > 0;
}
