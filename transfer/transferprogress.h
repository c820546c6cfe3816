#pragma once

#include "base/status.h"
#include "transferjob.h"

#include <QDialog>
#include <QElapsedTimer>

#include <memory>

class QLabel;
class QProgressBar;
class QTimer;

// The progress of a running transfer: the file, the bytes, the rate, the time
// left and the repeated blocks, read from the job every 100 ms, and 取消, which
// cancels it (the far side is told). Emits ended once the job has finished, then
// closes. User-interface thread.
class TransferProgressDialog : public QDialog
{
    Q_OBJECT

public:
    TransferProgressDialog(std::unique_ptr<TransferJob> job, bool sending, QWidget *parent);
    ~TransferProgressDialog() override;

    TransferJob &job() { return *m_job; }

signals:
    void ended(const Status &status);

protected:
    void reject() override;

private:
    void refresh();

    std::unique_ptr<TransferJob> m_job;
    bool m_sending = true;
    QLabel *m_name = nullptr;
    QProgressBar *m_bar = nullptr;
    QLabel *m_figures = nullptr;
    QTimer *m_timer = nullptr;
    QElapsedTimer m_clock;
};
