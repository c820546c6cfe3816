// Recording to a file, the times of the document headers and the traffic field of
// the main window.
#include "Main.h"
#include "base/timestamp.h"
#include "capture/traffic.h"
#include "maintexts.h"
#include "serial/serialport.h"
#include "settings/appconfig.h"
#include "text/errorreport.h"
#include "text/localpath.h"
#include "traffictext.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimer>

namespace {

constexpr int kTrafficUpdateMs = 250;

} // namespace

void TMainForm::SetUpCapture()
{
    m_config = std::make_unique<AppConfig>();
    m_trafficMeter = std::make_unique<TrafficMeter>();

    CaptureField = new QLabel(StatusBar);
    CaptureField->setObjectName(QStringLiteral("CaptureFile"));
    CaptureField->setAccessibleName(MainTexts::LogFieldName);
    CaptureField->hide();
    StatusBar->addPermanentWidget(CaptureField);
    TrafficField = new QLabel(StatusBar);
    TrafficField->setObjectName(QStringLiteral("Traffic"));
    TrafficField->setAccessibleName(MainTexts::TrafficName);
    StatusBar->addPermanentWidget(TrafficField);

    HeaderTimes = m_config->headerTimes();
    TimeStampItem->setChecked(HeaderTimes);
    connect(FileLogItem, &QAction::triggered, this, &TMainForm::FileLogItemClick);
    connect(TimeStampItem, &QAction::triggered, this, &TMainForm::TimeStampItemClick);

    m_trafficClock.start();
    m_trafficTimer = new QTimer(this);
    connect(m_trafficTimer, &QTimer::timeout, this, &TMainForm::UpdateTraffic);
    m_trafficTimer->start(kTrafficUpdateMs);
    UpdateTraffic();
}

void TMainForm::FileLogItemClick(bool checked)
{
    if (!checked) {
        StopCapture(true);
        return;
    }
    const QSignalBlocker blocker(FileLogItem);
    FileLogItem->setChecked(false);
    QString folder = m_config->captureFolder();
    if (folder.isEmpty() || !QDir(folder).exists()) {
        folder = QDir::homePath();
    }
    QFileDialog dialog(this, MainTexts::LogDialogTitle);
    dialog.setObjectName(QStringLiteral("LogDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(MainTexts::SaveFilter);
    dialog.setDirectory(folder);
    dialog.selectFile(QDateTime::currentDateTime().toString(MainTexts::LogDefaultName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QString path = dialog.selectedFiles().constFirst();
    m_config->report(this, m_config->setCaptureFolder(QFileInfo(path).absolutePath()));
    const std::filesystem::path file = LocalPath(path);
    const int run = ++m_captureRun;
    const Status started
        = Traffic.recorder.start(file, CaptureFormatFor(file), [this, run](const Status &failure) {
              // The writer thread: the window handles it in its own turn, unless the
              // recording it belongs to has been stopped by then.
              const QString text = FromLocal(failure.reason());
              QMetaObject::invokeMethod(
                  this,
                  [this, run, text] {
                      if (run == m_captureRun) {
                          CaptureFailed(text);
                      }
                  },
                  Qt::QueuedConnection);
          });
    if (!started) {
        ShowErrorReport(this, MainTexts::LogOpenFailed.arg(FromLocal(started.reason())));
        return;
    }
    FileLogItem->setChecked(true);
    CaptureField->setText(QFileInfo(path).fileName());
    CaptureField->setToolTip(MainTexts::LogFieldTip.arg(QDir::toNativeSeparators(path)));
    CaptureField->show();
}

void TMainForm::CaptureFailed(const QString &reason)
{
    StopCapture(false);
    ShowErrorReport(this, MainTexts::LogFailed.arg(reason));
}

void TMainForm::StopCapture(bool report)
{
    ++m_captureRun;
    const Status stopped = Traffic.recorder.stop();
    if (FileLogItem) {
        const QSignalBlocker blocker(FileLogItem);
        FileLogItem->setChecked(false);
    }
    if (CaptureField) {
        CaptureField->hide();
    }
    if (!stopped && report) {
        ShowErrorReport(this, MainTexts::LogFailed.arg(FromLocal(stopped.reason())));
    }
}

void TMainForm::TimeStampItemClick(bool checked)
{
    HeaderTimes = checked;
    m_config->report(this, m_config->setHeaderTimes(checked));
}

void TMainForm::UpdateTraffic()
{
    LineErrorCounts counts;
    std::optional<LineErrorCounts> errors;
    if (Port.lineErrors(counts)) {
        errors = counts;
    }
    const TrafficSnapshot snapshot = m_trafficMeter->update(m_trafficClock.elapsed(),
        Traffic.receivedTotal(), Traffic.sentTotal(), Port.openCount(), errors);
    const QString text = TrafficText(snapshot);
    if (TrafficField->text() != text) {
        TrafficField->setText(text);
    }
    TrafficField->setToolTip(TrafficToolTip(snapshot));
}
