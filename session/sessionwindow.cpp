#include "sessionwindow.h"

#include "sessionfind.h"
#include "sessiontexts.h"
#include "sessionview.h"
#include "settings/appconfig.h"
#include "text/codepage.h"
#include "text/errorreport.h"
#include "text/localpath.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kShownIntervalMs = 50;
constexpr int kHiddenIntervalMs = 500;

template <typename Widget>
Widget *Named(Widget *widget, const char *objectName, const QString &accessibleName)
{
    widget->setObjectName(QString::fromLatin1(objectName));
    widget->setAccessibleName(accessibleName);
    return widget;
}

QComboBox *Combo(const char *objectName, const QString &name, const QStringList &items)
{
    auto *combo = Named(new QComboBox, objectName, name);
    combo->addItems(items);
    combo->setToolTip(name);
    return combo;
}

} // namespace

SessionFeed &SessionWindow::Feed()
{
    // Never destroyed: a byte may still be passing the tap while the program ends.
    static auto *feed = new SessionFeed;
    return *feed;
}

SessionWindow::SessionWindow(AppConfig &config, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_config(config)
    , m_store(std::size_t(config.sessionBoundMiB()) << 20)
    , m_timer(new QTimer(this))
    , m_view(new SessionView(m_store, this))
{
    setObjectName(QStringLiteral("SessionWindow"));
    setWindowTitle(SessionTexts::Caption);
    setAccessibleName(SessionTexts::Caption);

    m_mode = Combo("SessionMode", SessionTexts::Mode,
        { SessionTexts::ModeText, SessionTexts::ModeHex, SessionTexts::ModeFrames });
    m_encoding = Combo("SessionEncoding", SessionTexts::Encoding,
        { QStringLiteral("ASCII"), QStringLiteral("UTF-8"), QStringLiteral("GBK") });
    m_encoding->setCurrentIndex(1);
    m_lineBreak = Combo("SessionLineBreak", SessionTexts::LineBreak,
        { QStringLiteral("LF"), QStringLiteral("CR"), QStringLiteral("CR LF"),
            SessionTexts::BreakAny });
    m_lineBreak->setCurrentIndex(3);
    m_stripAnsi = Named(
        new QCheckBox(SessionTexts::StripAnsi), "SessionStripAnsi", SessionTexts::StripAnsi);
    m_stripAnsi->setChecked(true);
    m_split = Combo("SessionSplit", SessionTexts::Split,
        { SessionTexts::SplitGapMs, SessionTexts::SplitGapChars, SessionTexts::SplitDelimiter,
            SessionTexts::SplitLength });
    m_splitValue
        = Named(new QLineEdit(QStringLiteral("20")), "SessionSplitValue", SessionTexts::SplitValue);
    m_splitValue->setMaximumWidth(90);
    m_baud = Named(new QSpinBox, "SessionBaud", SessionTexts::Baud);
    m_baud->setRange(50, 4000000);
    m_baud->setValue(9600);
    m_baud->setPrefix(SessionTexts::Baud.text() + QLatin1Char(' '));
    m_checks = Named(new QCheckBox(SessionTexts::Checks), "SessionChecks", SessionTexts::Checks);
    m_pause = Named(new QPushButton(SessionTexts::Pause), "SessionPause", SessionTexts::Pause);
    m_pause->setCheckable(true);
    auto *open = Named(
        new QPushButton(SessionTexts::OpenCapture), "SessionOpen", SessionTexts::OpenCapture);
    auto *clear = Named(new QPushButton(SessionTexts::Clear), "SessionClear", SessionTexts::Clear);

    m_search = Named(new QLineEdit, "SessionSearch", SessionTexts::Search);
    m_search->setPlaceholderText(SessionTexts::Search);
    m_searchHex = Named(
        new QCheckBox(SessionTexts::SearchHex), "SessionSearchHex", SessionTexts::SearchHex);
    m_caseSensitive = Named(new QCheckBox(SessionTexts::CaseSensitive), "SessionCaseSensitive",
        SessionTexts::CaseSensitive);
    auto *previous
        = Named(new QPushButton(SessionTexts::Previous), "SessionPrevious", SessionTexts::Previous);
    auto *next = Named(new QPushButton(SessionTexts::Next), "SessionNext", SessionTexts::Next);
    m_filter = Named(new QCheckBox(SessionTexts::Filter), "SessionFilter", SessionTexts::Filter);
    m_hits = Named(new QLabel, "SessionHits", SessionTexts::Hits.arg(0));
    auto *copy = Named(new QPushButton(SessionTexts::Copy), "SessionCopy", SessionTexts::Copy);
    auto *copyMenu = new QMenu(copy);
    copyMenu->addAction(SessionTexts::CopyText, this, [this] { copyAs(0); });
    copyMenu->addAction(SessionTexts::CopyHex, this, [this] { copyAs(1); });
    copyMenu->addAction(SessionTexts::CopyC, this, [this] { copyAs(2); });
    copy->setMenu(copyMenu);
    auto *exportButton
        = Named(new QPushButton(SessionTexts::Export), "SessionExport", SessionTexts::Export);
    auto *exportMenu = new QMenu(exportButton);
    exportMenu->addAction(SessionTexts::ExportCapture, this, [this] { exportAs(false); });
    exportMenu->addAction(SessionTexts::ExportCsv, this, [this] { exportAs(true); });
    exportButton->setMenu(exportMenu);
    auto *rules = Named(new QPushButton(SessionTexts::Rules), "SessionRules", SessionTexts::Rules);
    m_bound = Named(new QSpinBox, "SessionBound", SessionTexts::Bound);
    m_bound->setRange(1, 4096);
    m_bound->setValue(m_config.sessionBoundMiB());
    m_bound->setPrefix(SessionTexts::Bound.text() + QLatin1Char(' '));
    m_status = Named(new QLabel, "SessionStatus", SessionTexts::Size.arg(0));

    auto *top = new QHBoxLayout;
    for (QWidget *widget : std::initializer_list<QWidget *> { m_mode, m_encoding, m_lineBreak,
             m_stripAnsi, m_split, m_splitValue, m_baud, m_checks }) {
        top->addWidget(widget);
    }
    top->addStretch();
    top->addWidget(m_pause);
    top->addWidget(open);
    top->addWidget(clear);
    auto *second = new QHBoxLayout;
    for (QWidget *widget :
        std::initializer_list<QWidget *> { m_search, m_searchHex, m_caseSensitive, previous, next,
            m_hits, m_filter, copy, exportButton, rules, m_bound }) {
        second->addWidget(widget);
    }
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(second);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_status);
    resize(1000, 600);

    for (QComboBox *combo : { m_mode, m_encoding, m_lineBreak, m_split }) {
        connect(combo, &QComboBox::currentIndexChanged, this, &SessionWindow::rulesChanged);
    }
    for (QCheckBox *check : { m_stripAnsi, m_checks }) {
        connect(check, &QCheckBox::toggled, this, &SessionWindow::rulesChanged);
    }
    connect(m_splitValue, &QLineEdit::editingFinished, this, &SessionWindow::rulesChanged);
    connect(m_baud, &QSpinBox::valueChanged, this, &SessionWindow::rulesChanged);
    connect(m_search, &QLineEdit::returnPressed, this, [this] { stepHit(1); });
    connect(m_search, &QLineEdit::textChanged, this, &SessionWindow::search);
    for (QCheckBox *check : { m_searchHex, m_caseSensitive, m_filter }) {
        connect(check, &QCheckBox::toggled, this, &SessionWindow::search);
    }
    connect(previous, &QPushButton::clicked, this, [this] { stepHit(-1); });
    connect(next, &QPushButton::clicked, this, [this] { stepHit(1); });
    connect(m_pause, &QPushButton::toggled, this, [this](bool paused) {
        if (!paused) {
            take();
        }
    });
    connect(open, &QPushButton::clicked, this, &SessionWindow::openCaptureClicked);
    connect(clear, &QPushButton::clicked, this, [this] {
        m_store.clear();
        search();
    });
    connect(rules, &QPushButton::clicked, this, &SessionWindow::editHighlights);
    connect(m_bound, &QSpinBox::valueChanged, this, [this](int mib) {
        m_config.report(this, m_config.setSessionBoundMiB(mib));
        m_store.setBound(std::size_t(mib) << 20);
        m_view->storeChanged();
        updateStatus();
    });
    connect(m_view, &SessionView::highlightFailed, this,
        [this](const QString &pattern) { m_status->setText(SessionTexts::RuleSlow.arg(pattern)); });
    connect(m_timer, &QTimer::timeout, this, &SessionWindow::take);

    loadHighlights();
    rulesChanged();
    Traffic.setListener(&Feed());
    m_timer->start(kShownIntervalMs);
}

SessionWindow::~SessionWindow()
{
    Traffic.setListener(nullptr);
}

void SessionWindow::showEvent(QShowEvent *event)
{
    m_timer->setInterval(kShownIntervalMs);
    QWidget::showEvent(event);
}

void SessionWindow::hideEvent(QHideEvent *event)
{
    // Hidden, it keeps the session but paints nothing.
    m_timer->setInterval(kHiddenIntervalMs);
    QWidget::hideEvent(event);
}

void SessionWindow::take()
{
    m_lost += Feed().takeInto(m_store);
    if (m_pause->isChecked() || !isVisible() || m_store.generation() == m_shownGeneration) {
        return;
    }
    m_shownGeneration = m_store.generation();
    m_view->storeChanged();
    updateStatus();
}

void SessionWindow::updateStatus()
{
    QString text = SessionTexts::Size.arg(m_store.end() - m_store.begin());
    if (m_store.dropped() > 0) {
        text += QStringLiteral("  ") + SessionTexts::Dropped.arg(m_store.dropped());
    }
    if (m_lost > 0) {
        text += QStringLiteral("  ") + SessionTexts::Lost.arg(m_lost);
    }
    m_status->setText(text);
}

void SessionWindow::rulesChanged()
{
    SessionRules rules;
    rules.mode = static_cast<SessionMode>(m_mode->currentIndex());
    rules.lineBreak = static_cast<LineBreak>(m_lineBreak->currentIndex());
    rules.split = static_cast<FrameSplit>(m_split->currentIndex());
    rules.baud = m_baud->value();
    const QString value = m_splitValue->text().trimmed();
    bool number = false;
    rules.gap = value.toDouble(&number);
    rules.length = value.toInt();
    if (rules.split == FrameSplit::Delimiter) {
        rules.delimiter = ParseHexBytes(value.toStdString()).value_or(std::string());
    }
    const bool frames = rules.mode == SessionMode::Frames;
    const bool text = rules.mode == SessionMode::Text;
    m_encoding->setEnabled(text);
    m_lineBreak->setEnabled(text);
    m_stripAnsi->setEnabled(text);
    m_split->setEnabled(frames);
    m_splitValue->setEnabled(frames);
    m_baud->setEnabled(frames && rules.split == FrameSplit::GapChars);
    m_checks->setEnabled(frames);
    if (const Status checked = CheckRules(rules); !checked) {
        m_status->setText(SessionTexts::Refused.arg(QString::fromStdString(checked.reason())));
        return;
    }
    TextOptions options;
    options.encoding = static_cast<TextEncoding>(m_encoding->currentIndex());
    options.stripAnsi = m_stripAnsi->isChecked();
    m_view->setRules(rules, options, m_checks->isChecked());
    updateStatus();
}

void SessionWindow::search()
{
    const QString text = m_search->text();
    std::string needle;
    if (m_searchHex->isChecked()) {
        needle = ParseHexBytes(text.toStdString()).value_or(std::string());
    } else {
        const TextEncoding encoding = static_cast<TextEncoding>(m_encoding->currentIndex());
        needle = encoding == TextEncoding::Gbk ? ToCp936(text) : text.toStdString();
    }
    SessionHits hits = FindAll(m_store, needle,
        m_caseSensitive->isChecked() || m_searchHex->isChecked(), m_store.begin(), m_store.end());
    m_hitCount = hits.starts.size();
    m_hitIndex = SIZE_MAX;
    m_hits->setText(
        hits.more ? SessionTexts::HitsMore.arg(m_hitCount) : SessionTexts::Hits.arg(m_hitCount));
    m_hits->setAccessibleName(m_hits->text());
    m_view->setHits(std::move(hits), needle.size(), m_filter->isChecked() && !needle.empty());
    if (needle.empty()) {
        m_view->follow();
    }
}

void SessionWindow::stepHit(int step)
{
    if (m_hitCount == 0) {
        return;
    }
    if (m_hitIndex == SIZE_MAX) {
        m_hitIndex = step > 0 ? 0 : m_hitCount - 1;
    } else {
        m_hitIndex = (m_hitIndex + m_hitCount + std::size_t(step)) % m_hitCount;
    }
    m_view->showHit(m_hitIndex);
    m_hits->setText(QStringLiteral("%1 / %2").arg(m_hitIndex + 1).arg(m_hitCount));
}

void SessionWindow::loadHighlights()
{
    std::vector<HighlightRule> rules;
    for (const QString &line : m_config.sessionHighlights()) {
        HighlightRule rule;
        if (ParseHighlightRule(line, rule).isEmpty()) {
            rules.push_back(rule);
        }
    }
    m_view->setHighlights(std::move(rules));
}

void SessionWindow::editHighlights()
{
    QDialog dialog(this);
    dialog.setWindowTitle(SessionTexts::Rules);
    auto *edit = Named(new QPlainTextEdit, "SessionRulesEdit", SessionTexts::Rules);
    edit->setPlainText(m_config.sessionHighlights().join(QLatin1Char('\n')));
    auto *hint = new QLabel(SessionTexts::RulesHint);
    auto *problems = Named(new QLabel, "SessionRulesProblems", SessionTexts::RulesHint);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(hint);
    layout->addWidget(edit);
    layout->addWidget(problems);
    layout->addWidget(buttons);
    auto check = [edit, problems, buttons] {
        QStringList found;
        const QStringList lines = edit->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (int i = 0; i < lines.size(); ++i) {
            HighlightRule rule;
            const QString why = ParseHighlightRule(lines[i], rule);
            if (!why.isEmpty()) {
                found << SessionTexts::RuleBad.arg(i + 1).arg(why);
            }
        }
        problems->setText(found.join(QLatin1Char('\n')));
        buttons->button(QDialogButtonBox::Ok)->setEnabled(found.isEmpty());
    };
    connect(edit, &QPlainTextEdit::textChanged, &dialog, check);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    check();
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    m_config.report(this,
        m_config.setSessionHighlights(
            edit->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts)));
    loadHighlights();
    m_view->viewport()->update();
}

void SessionWindow::copyAs(int form)
{
    const auto [from, to] = m_view->selection();
    std::string bytes;
    m_store.copy(from, to, bytes);
    QString text;
    if (form == 1) {
        text = QString::fromStdString(HexBytes(bytes));
    } else if (form == 2) {
        text = QString::fromStdString(AsCArray(bytes));
    } else {
        text = static_cast<TextEncoding>(m_encoding->currentIndex()) == TextEncoding::Gbk
            ? FromCp936(bytes)
            : QString::fromUtf8(bytes);
    }
    QApplication::clipboard()->setText(text);
}

void SessionWindow::exportAs(bool csv)
{
    const QString path = QFileDialog::getSaveFileName(this, SessionTexts::Export, QString(),
        csv ? SessionTexts::CsvFilter.text() : SessionTexts::CaptureFilter.text());
    if (path.isEmpty()) {
        return;
    }
    const auto [from, to] = m_view->selection();
    std::string contents;
    if (csv) {
        contents = AsCsv(m_store, m_view->rows(), from, to);
    } else if (CaptureFormatFor(LocalPath(path)) == CaptureFormat::Text) {
        contents = AsCaptureText(m_store, from, to);
    } else {
        contents = AsCaptureRaw(m_store, from, to);
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(contents.data(), qint64(contents.size())) != qint64(contents.size())
        || !file.flush()) {
        ShowErrorReport(
            this, SessionTexts::SaveFailed.arg(path) + QStringLiteral(": ") + file.errorString());
    }
}

Status SessionWindow::openCapture(const QString &path)
{
    m_pause->setChecked(true); // the port's bytes do not mix into the file's
    Status loaded = LoadCaptureFile(LocalPath(path), m_store);
    m_shownGeneration = m_store.generation();
    search();
    m_view->storeChanged();
    updateStatus();
    return loaded;
}

void SessionWindow::openCaptureClicked()
{
    const QString path = QFileDialog::getOpenFileName(
        this, SessionTexts::OpenCapture, QString(), SessionTexts::CaptureFilter);
    if (path.isEmpty()) {
        return;
    }
    if (const Status loaded = openCapture(path); !loaded) {
        ShowErrorReport(this, loaded);
    }
}
