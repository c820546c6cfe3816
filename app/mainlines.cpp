// The control-line strip of the main window and its options in the settings dialog.
#include "Main.h"
#include "controllines/lineoptions.h"
#include "controllines/linestrip.h"
#include "serial/portcontrollines.h"
#include "serial/serialport.h"
#include "settings/appconfig.h"
#include "settings/option.h"

namespace {

// Right of the six buttons of the button bar (each 58 wide from x = 5).
constexpr int kStripLeft = 5 + 6 * 58 + 6;
// The row in the port tab, in the gap between the baud rate and data bits rows,
// with its columns under theirs.
constexpr QPoint kOptionsPlace(24, 101);
constexpr int kOptionsWidth = 233;

} // namespace

void TMainForm::SetUpLines()
{
    m_portLines = std::make_unique<PortControlLines>(Port);
    Lines = new LineStrip(*m_portLines, Panel1);
    Lines->setPulseMs(m_config->pulseMs());
    Lines->setBreakMs(m_config->breakMs());
    Lines->move(kStripLeft, 0);
    Lines->resize(Lines->sizeHint().width(), Panel1->height());
    // Before the first Open, so that it already carries out the stored options.
    Port.setOpenLineOptions(m_config->lineOptions());
}

void TMainForm::AttachLineOptions(TFrmOption *dialog)
{
    LineOptionsPlace = new LineOptionsRow(*m_config, *m_portLines, dialog->TabSheet4);
    LineOptionsPlace->setGeometry(QRect(kOptionsPlace, QSize(kOptionsWidth, 20)));
    // Cancel and closing reopen the port as stored; OK with what the row shows.
    connect(dialog, &TFrmOption::portChangeStarting, this,
        [this] { Port.setOpenLineOptions(m_config->lineOptions()); });
    connect(dialog, &TFrmOption::portSettingsAccepting, this,
        [this] { Port.setOpenLineOptions(LineOptionsPlace->options()); });
    connect(dialog, &TFrmOption::settingsAccepted, this, [this] {
        LineOptionsPlace->save();
        Lines->setPulseMs(m_config->pulseMs());
        Lines->setBreakMs(m_config->breakMs());
    });
}
