#include "transferprogress.h"

#include "transfertexts.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

TransferProgressDialog::TransferProgressDialog(
    std::unique_ptr<TransferJob> job, bool sending, QWidget *parent)
    : QDialog(parent)
    , m_job(std::move(job))
    , m_sending(sending)
{
    setObjectName(QStringLiteral("TransferProgress"));
    setWindowTitle(TransferTexts::Title);
    auto *layout = new QVBoxLayout(this);
    m_name = new QLabel(TransferTexts::Waiting, this);
    m_name->setObjectName(QStringLiteral("TransferName"));
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("TransferBar"));
    m_bar->setRange(0, 1000);
    m_bar->setValue(0);
    m_figures = new QLabel(this);
    m_figures->setObjectName(QStringLiteral("TransferFigures"));
    m_figures->setMinimumWidth(420);
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *cancel = buttons->addButton(TransferTexts::Cancel, QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("TransferCancel"));
    connect(buttons, &QDialogButtonBox::rejected, this, &TransferProgressDialog::reject);
    layout->addWidget(m_name);
    layout->addWidget(m_bar);
    layout->addWidget(m_figures);
    layout->addWidget(buttons);
    m_clock.start();
    m_timer = new QTimer(this);
    m_timer->setInterval(100);
    connect(m_timer, &QTimer::timeout, this, &TransferProgressDialog::refresh);
    m_timer->start();
}

TransferProgressDialog::~TransferProgressDialog() = default;

void TransferProgressDialog::reject()
{
    // The dialog stays until the protocol has told the far side and ended.
    m_job->cancel();
}

void TransferProgressDialog::refresh()
{
    const TransferProgress &progress = m_job->progress;
    const QString name = QString::fromStdString(progress.name());
    if (!name.isEmpty()) {
        m_name->setText(
            (m_sending ? TransferTexts::Sending : TransferTexts::Receiving).text().arg(name));
    }
    const qint64 done = progress.done.load();
    const qint64 total = progress.total.load();
    const double seconds = std::max(0.001, double(m_clock.elapsed()) / 1000.0);
    const qint64 rate = qint64(double(done) / seconds);
    const int retries = progress.retries.load();
    if (total > 0) {
        m_bar->setValue(int(std::min<qint64>(1000, done * 1000 / total)));
        const qint64 left = rate > 0 ? (total - done) / rate : 0;
        m_figures->setText(
            TransferTexts::ProgressLine.text().arg(done).arg(total).arg(rate).arg(left).arg(
                retries));
    } else {
        m_bar->setRange(0, 0);
        m_figures->setText(TransferTexts::ProgressOpen.text().arg(done).arg(rate).arg(retries));
    }
    if (m_job->finished()) {
        m_timer->stop();
        const Status status = m_job->wait();
        emit ended(status);
        accept();
    }
}
