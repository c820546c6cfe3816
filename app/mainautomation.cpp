// Triggers and sequences in the main window: 工具 → 自动应答 and 序列 open their
// windows, 启用自动应答 (Ctrl+Shift+A) turns the triggers on or off, replies go out
// through the send path (each echoed under its own "Sending: " line), and a
// sequence holds the port (porthold.h) while it runs.

#include "Main.h"
#include "automation/automationfiles.h"
#include "automation/automationstore.h"
#include "automation/automationtexts.h"
#include "automation/sequencewindow.h"
#include "automation/triggercontroller.h"
#include "automation/triggerwindow.h"
#include "linetest/portchannel.h"
#include "porthold.h"
#include "send/sendui.h"
#include "serial/portcontrollines.h"
#include "serial/serialport.h"
#include "settings/appconfig.h"

#include <QMenu>
#include <QMenuBar>

namespace {

template <class Window>
void ShowWindow(Window *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

void TMainForm::SetUpAutomation()
{
    Automation = new AutomationStore(this);
    Triggers = new TriggerController(this);
    connect(Automation, &AutomationStore::changed, this, [this] {
        if (const Status set = Triggers->setRules(Automation->set().rules, Cp936Encoder()); !set) {
            showStateMessage(QString::fromStdString(set.reason()));
        }
    });
    if (const Status restored = Automation->restore(m_config->automationText()); !restored) {
        showStateMessage(QString::fromStdString(restored.reason()));
    }
    Automation->keep = [this](const QString &text) {
        m_config->report(this, m_config->setAutomationText(text));
    };
    Triggers->send = [this](const std::string &bytes, const QString &) {
        return !Sender->isSending() && SendBarBytes(bytes);
    };
    connect(Triggers, &TriggerController::message, this, &TMainForm::showStateMessage);

    QMenu *tools = menuBar()->findChild<QMenu *>(QStringLiteral("Tools1"));
    tools->addSeparator();
    TriggersItem = tools->addAction(AutomationTexts::TriggersItem);
    TriggersItem->setObjectName(QStringLiteral("TriggersItem"));
    TriggersItem->setStatusTip(AutomationTexts::TriggersHint);
    TriggerSwitchItem = tools->addAction(AutomationTexts::SwitchItem);
    TriggerSwitchItem->setObjectName(QStringLiteral("TriggerSwitchItem"));
    TriggerSwitchItem->setStatusTip(AutomationTexts::SwitchHint);
    TriggerSwitchItem->setCheckable(true);
    TriggerSwitchItem->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A));
    connect(TriggerSwitchItem, &QAction::toggled, Triggers, &TriggerController::setOn);
    connect(Triggers, &TriggerController::switched, TriggerSwitchItem, &QAction::setChecked);
    SequencesItem = tools->addAction(AutomationTexts::SequencesItem);
    SequencesItem->setObjectName(QStringLiteral("SequencesItem"));
    SequencesItem->setStatusTip(AutomationTexts::SequencesHint);

    connect(TriggersItem, &QAction::triggered, this, [this] {
        if (!TriggerForm) {
            TriggerForm = new TriggerWindow(*Automation, *Triggers, this);
            TriggerForm->setAttribute(Qt::WA_DeleteOnClose);
        }
        ShowWindow(TriggerForm.data());
    });
    connect(SequencesItem, &QAction::triggered, this, [this] {
        if (!SequenceForm) {
            SequenceForm = new SequenceWindow(*Automation, this);
            SequenceForm->setAttribute(Qt::WA_DeleteOnClose);
            SequenceForm->makeRunner = [this](const Sequence &sequence, QString &why) {
                if (!Port.isOpen()) {
                    why = AutomationTexts::PortNotOpen;
                    return std::unique_ptr<SequenceRunner>();
                }
                // The port as it is open, for the program's lifetime as Port is.
                static PortChannel channel(Port);
                static PortControlLines lines(Port);
                PortHold::Claim(*this);
                return std::make_unique<SequenceRunner>(sequence, channel, lines, Cp936Encoder());
            };
            SequenceForm->finished = [this] { PortHold::Release(*this); };
        }
        ShowWindow(SequenceForm.data());
    });
}
