#pragma once

#include "document/batchpacer.h"
#include "receiveengine.h"
#include "text/notation.h"

#include <QObject>
#include <QPointer>

class DocumentOps;
class RichEdit;
class SerialPort;
class TMDIChild;
struct SettingsValues;

// Receiving for the main window: runs the receive engine on `port` with the
// settings `settings`, and carries out the receive thread's document changes on
// the document window that was active when the reception started, all that is
// waiting in one batch per turn of the event loop. The thread asks for a turn with
// one queued call each time its queue goes from empty to non-empty; the turns are
// paced by BatchPacer, with a spacing that grows with what the last batch cost.
//
// Received items go only on lines the reception started: before each batch the
// controller compares the end of the document with where its last batch left it,
// and when anything else was written there meanwhile (a send's header and echo, a
// summary, typed text, a clearing) the next item starts a line under its own
// header (ReceiveEngine::StartLineNext).
//
// A reception that ends by itself (its document window closed or full, a line or
// paragraph length of 0) is announced once with receptionEnded; the controller
// keeps it started until stop(), so that its owner releases the button, stops it
// and writes the summary.
//
// The main window publishes the notation and the down state of BtnSend here;
// the receive thread reads them once per byte. User-interface thread only.
class ReceiveController : public QObject
{
    Q_OBJECT

public:
    ReceiveController(const SettingsValues &settings, SerialPort &port, QObject *parent = nullptr);
    // Ends a running reception without waiting for its changes to be carried out.
    ~ReceiveController() override;

    // Starts a reception into `doc` (null, or a window closed later, ends the
    // thread quietly at its next byte).
    void start(TMDIChild *doc);
    // Stops the reception and waits for its thread; all its changes are carried
    // out before this returns. Nothing happens when no reception was started.
    void stop();
    // Between start and stop (the thread may have ended through a failure).
    bool isReceiving() const { return m_engine.isStarted(); }

    // The blue summary of the last reception at the end of `doc`; `checkOrder`
    // adds the result of the order check.
    void writeSummary(DocumentOps &doc, bool checkOrder) const;
    // True when `edit` has room for the whole summary of the last reception.
    bool summaryFits(const RichEdit &edit, bool checkOrder) const;
    // The document the running reception writes into; null when it is gone.
    RichEdit *document() const;

    // A send's echo line is open in the reception's document: received text must not
    // land inside it. hold() carries out what is waiting and keeps what comes later
    // in the queue until release(), which carries it out behind the finished line.
    void hold();
    void release();
    bool isHeld() const { return m_held; }
    // The next item shown starts a line under its own header (ReceiveEngine::StartLineNext).
    void startLineNext() { m_engine.StartLineNext(); }

    // The combo text ComboDataType shows, compared byte for byte in code page 936.
    void setNotationText(const QString &comboText);
    void setNotation(Notation notation) { m_engine.notation = notation; }
    void setSendButtonDown(bool down) { m_engine.sendButtonDown = down; }

    const ReceiveEngine &engine() const { return m_engine; }

signals:
    // The running reception ended by itself, for `reason` (never Running or Stopped).
    // Emitted once per reception, from the event loop.
    void receptionEnded(ReceiveEngine::EndReason reason);

private:
    void announceEnd(ReceiveEngine::EndReason reason);
    // A turn asked for by the receive thread.
    void applyPending();
    void applyNow();
    // Carries out the engine's waiting changes on the reception's document, after
    // looking whether anything else was written to it since the last batch.
    std::size_t applyToDocument();
    // Where the document ends now; compared before the next batch.
    void markEnd();
    // How much more receive text the document takes.
    std::size_t room() const;

    ReceiveEngine m_engine;
    QPointer<RichEdit> m_edit;
    BatchPacer m_pacer;
    QMetaObject::Connection m_closedWatch;
    bool m_endAnnounced = false;
    bool m_held = false;
    // Counts the receptions started, so that news of an earlier one is not taken
    // for the running one.
    quint64 m_reception = 0;
    // The end of the reception's document as the last batch left it.
    struct EndMark
    {
        int characters = 0;
        int lines = 0;
        int lastLine = 0;
        friend bool operator==(const EndMark &, const EndMark &) = default;
    };
    EndMark endOfDocument() const;
    EndMark m_end;
};
