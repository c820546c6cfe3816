#include "porthold.h"

#include "Main.h"
#include "intervaltimer.h"

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
