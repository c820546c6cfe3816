#include "porthold.h"

#include "Main.h"
#include "intervaltimer.h"
#include "receive/receiveui.h"

#include <QToolButton>
#include <QVariant>

namespace {

constexpr const char *kHolds = "portHolds";

int Holds(const TMainForm &form)
{
    return form.property(kHolds).toInt();
}

} // namespace

void PortHold::Claim(TMainForm &form)
{
    if (Holds(form) == 0) {
        form.Timer1->setEnabled(false);
        form.ShutDownSendReceive();
        form.BtnSend->setChecked(false);
    }
    form.setProperty(kHolds, Holds(form) + 1);
    form.UpdateMenuItems();
}

void PortHold::Release(TMainForm &form)
{
    form.setProperty(kHolds, std::max(0, Holds(form) - 1));
    form.UpdateMenuItems();
}

bool PortHold::Held(const TMainForm &form)
{
    return Holds(form) > 0;
}

TransferHold::TransferHold(TMainForm &form)
    : m_form(form)
{
    m_wasReceiving = form.Receiver && form.Receiver->isReceiving();
    m_timerWasOn = form.Timer1->isEnabled();
    PortHold::Claim(form);
}

TransferHold::~TransferHold()
{
    PortHold::Release(m_form);
    if (PortHold::Held(m_form)) {
        return;
    }
    if (m_wasReceiving && m_form.Receiver) {
        m_form.BtnRecieve->setChecked(true);
        m_form.Receiver->start(m_form.ActiveChild());
    }
    if (m_timerWasOn) {
        m_form.BtnSend->setChecked(true);
        m_form.Timer1->setEnabled(true);
    }
}
