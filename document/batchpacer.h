#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <functional>

// The pacing of the batches in which a worker thread's changes are carried out into
// a document window (the receive thread's text, the send thread's echo). The thread
// asks for a turn when its queue goes from empty to non-empty; a turn that comes
// sooner than the spacing after the end of the last batch is put off until then,
// so that a flood is shown in a few large batches (one layout and one repaint
// each) rather than in a great many small ones, while a byte on a quiet line is
// shown at once.
//
// The spacing is kMinSpacingMs. An owner that reports what its batches cost makes
// it grow with that cost, up to kMaxSpacingMs: a batch that ends in a long line is
// dear whatever it holds (the control lays out and repaints the whole line), so
// that the batches then take a bounded share of the thread, and a byte costs about
// the same however long its line. User-interface thread only.
class BatchPacer
{
public:
    static constexpr int kMinSpacingMs = 5;
    static constexpr int kMaxSpacingMs = 250;
    // The spacing after a batch is this many times what the batch cost, layout and
    // repaint included, so that the batches take at most about a fifth of the thread.
    static constexpr int kCostFactor = 4;

    // `apply` carries out one batch and then calls batchDone.
    explicit BatchPacer(std::function<void()> apply);
    BatchPacer(const BatchPacer &) = delete;
    BatchPacer &operator=(const BatchPacer &) = delete;

    // A turn is asked for: `apply` runs now, or once when the spacing has passed,
    // however often it is asked for meanwhile.
    void request();
    // Drops a turn that was put off.
    void cancel() { m_timer.stop(); }

    // A batch has just been carried out; the spacing stays as it is.
    void batchDone() { m_sinceBatch.start(); }
    // A batch has just been carried out at `costNs`, its layout and repaint. `flood`:
    // it took half its queue or more, so the thread is held up by the full queue,
    // and the next batch comes as soon as the shortest spacing allows (its size
    // spreads the cost).
    void batchDone(qint64 costNs, bool flood);

private:
    const std::function<void()> m_apply;
    QElapsedTimer m_sinceBatch;
    qint64 m_spacingMs = kMinSpacingMs;
    QTimer m_timer;
};
