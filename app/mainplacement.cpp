// The main window's place and size, kept in byteway.conf from one run to the next,
// and the send field Edit2, which grows and shrinks with the window.
#include "Main.h"
#include "settings/appconfig.h"

#include <QLineEdit>
#include <QResizeEvent>

#include <algorithm>

namespace {

constexpr int kDefaultOuterWidth = 584;
constexpr int kSendFieldMinimum = 120;

} // namespace

void TMainForm::SetUpPlacement()
{
    // What the toolbar gave Edit2 at the default size (the English texts may have
    // taken some of it).
    m_sendFieldBase = Edit2->width();
}

bool TMainForm::restorePlacement()
{
    if (!m_config) {
        return false;
    }
    const QByteArray geometry = m_config->windowGeometry();
    return !geometry.isEmpty() && restoreGeometry(geometry);
}

void TMainForm::savePlacement()
{
    if (m_config) {
        m_config->report(this, m_config->setWindowGeometry(saveGeometry()));
    }
}

// Edit2 has the width it has at the default size plus whatever the window has
// beyond that size, so that at 584 pixels the bar is as it always was.
void TMainForm::fitSendField()
{
    if (m_sendFieldBase <= 0) {
        return;
    }
    const int frame = frameGeometry().width() - width();
    const int defaultInside = kDefaultOuterWidth - std::max(0, frame);
    const int wanted = std::max(kSendFieldMinimum, m_sendFieldBase + width() - defaultInside);
    if (Edit2->width() != wanted) {
        Edit2->setFixedWidth(wanted);
    }
}

void TMainForm::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    fitSendField();
    fitMessageField();
}
