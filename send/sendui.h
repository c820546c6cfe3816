#pragma once

#include "document/batchpacer.h"
#include "sendengine.h"
#include "text/notation.h"
#include "text/notationcombo.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

class RichEdit;
class SerialPort;
class TMDIChild;
struct SettingsValues;

// Sending for the main window: writes the header into the document window that is
// active when a send starts, then runs the send on the send thread (SendEngine)
// and carries its echo out into that window, all that is waiting in one batch per
// turn of the event loop, paced as for receiving (BatchPacer), at the shortest
// spacing. The send thread reads the notation published here once per unit.
//
// The echo of one send stands on one line, and the control lays a line out again
// whole whenever it changes: a long send shown piece by piece would cost time
// growing with the square of its length. So the document's edit block stays open
// from the header to the end of the send, and the text inserted so far is shown
// (the block closed and opened again) at most every kShowSpacingMs, and only while
// the line is short enough to be laid out quickly (kShowLineLimit characters); a
// longer echo is laid out once, when the send ends.
//
// Sends that follow one another closely (a timed send, setSeries) share that edit
// block: a send that ends within kShowSpacingMs of the last showing leaves it open
// for the next send's header and echo and for the received text between them, and
// it is closed kShowSpacingMs after the last showing. A flood of short sends thus
// costs one layout and one repaint per spacing instead of several per send; the
// text and its order are the same.
//
// The window never waits for the line: only stop() and pause() wait, and only for
// the send thread to reach its next stopping point, which takes about a
// millisecond. User-interface thread only.
class SendController : public QObject
{
    Q_OBJECT

public:
    explicit SendController(SerialPort &port, QObject *parent = nullptr);
    // Ends a running send without waiting for its echo to be carried out.
    ~SendController() override;

    // Starts a send into `child`: the header (at once, or with header times on
    // with the first byte's echo, see BeginSendHeader), the units on the send
    // thread. Nothing happens (false) when `child` is null or a send still runs.
    bool start(TMDIChild *child, const SettingsValues &settings);
    // Starts a send of `bytes` as they are (the send bar) into `child`, the way
    // start does: the header, the delay between bytes, the echo in the notation.
    bool startBytes(TMDIChild *child, const SettingsValues &settings, std::string bytes);
    // Between start and the send's end.
    bool isSending() const { return m_engine.isStarted(); }
    // Ends the send in progress and waits for its thread; the echo of every byte
    // that went out is carried out before this returns. Emits finished.
    void stop();
    // Ends the send in progress for good, for a window about to go (the program
    // quits): the thread stops within about a millisecond, echo not yet shown is
    // dropped, and the window's open batch is left as it is, so the one layout of
    // the echo line that stop() ends with, seconds for a long send, never happens.
    // The window is not edited again. Emits nothing.
    void abandon();
    // Holds the send in progress between two bytes until resume(); the echo so far
    // is carried out before this returns.
    void pause();
    // Lets a held send go on, with `twoCharDelay` from now on.
    void resume(int32_t twoCharDelay);

    // Whether the sends that start from now on follow one another (a timed send).
    // Switched off, the edit block a finished send left open is closed at once.
    void setSeries(bool series);

    // The combo text ComboDataType shows, compared byte for byte in code page 936.
    void setNotationText(const QString &comboText);
    void setNotation(Notation notation) { m_notation = notation; }

    const SendEngine &engine() const { return m_engine; }

    static constexpr int kShowSpacingMs = 100;
    static constexpr int kShowLineLimit = 16384;

signals:
    // A send has ended and all its echo is in the document.
    void finished(SendResult result);

private:
    void applyPending();
    void applyNow();
    // `mayLinger`: a series may keep the edit block open for the next send.
    void collect(SendResult result, bool mayLinger);
    void openBatch();
    void closeBatch();
    void showProgress();
    // Closes the edit block and lets the window go.
    void endShowing();
    void showLaterDue();

    std::atomic<Notation> m_notation { Notation::Hex };
    SendEngine m_engine;
    QPointer<RichEdit> m_edit;
    QElapsedTimer m_sinceShown;
    BatchPacer m_pacer;
    QTimer m_showLater;
    bool m_batchOpen = false;
    bool m_series = false;
};
