#pragma once

#include "sessionstore.h"

#include <QWidget>

class AppConfig;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTimer;
class SessionView;

// The session view 会话视图: every byte sent and received with its time and
// direction, as text, hex dump or frames, found and coloured. Not a document
// window: it takes the bytes from the traffic tap's listener (the feed it sets up
// when first made, which lives as long as the program) and keeps them in a store
// of its own, bounded by byteway.conf's session/boundMiB. Closing only hides it, so
// the session goes on being kept. User-interface thread only.
class SessionWindow : public QWidget
{
    Q_OBJECT

public:
    explicit SessionWindow(AppConfig &config, QWidget *parent = nullptr);
    ~SessionWindow() override;

    // The feed the traffic tap tells (made on first use, never destroyed).
    static SessionFeed &Feed();
    // Moves what the feed holds into the store and shows it unless paused.
    void take();
    const SessionStore &store() const { return m_store; }
    SessionView *view() const { return m_view; }
    // Reads a capture file in place of the session; the failure's reason.
    [[nodiscard]] Status openCapture(const QString &path);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void rulesChanged();
    void search();
    void stepHit(int step);
    void editHighlights();
    void loadHighlights();
    void copyAs(int form);
    void exportAs(bool csv);
    void openCaptureClicked();
    void updateStatus();

    AppConfig &m_config;
    SessionStore m_store;
    uint64_t m_lost = 0;
    uint64_t m_shownGeneration = 0;
    std::size_t m_hitIndex = 0;
    std::size_t m_hitCount = 0;
    QTimer *m_timer;
    SessionView *m_view;
    QComboBox *m_mode;
    QComboBox *m_encoding;
    QComboBox *m_lineBreak;
    QCheckBox *m_stripAnsi;
    QComboBox *m_split;
    QLineEdit *m_splitValue;
    QSpinBox *m_baud;
    QCheckBox *m_checks;
    QPushButton *m_pause;
    QLineEdit *m_search;
    QCheckBox *m_searchHex;
    QCheckBox *m_caseSensitive;
    QCheckBox *m_filter;
    QLabel *m_hits;
    QSpinBox *m_bound;
    QLabel *m_status;
};
