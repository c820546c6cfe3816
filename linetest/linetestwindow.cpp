#include "linetestwindow.h"

#include "linetest.h"
#include "linetestreport.h"
#include "linetesttexts.h"
#include "portchannel.h"
#include "serial/serialport.h"
#include "text/accessiblewidgets.h"
#include "text/localpath.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>

#include <cmath>
#include <fstream>
#include <sstream>
#include <tuple>

namespace T = LineTestTexts;

namespace {

QString Number(double value)
{
    return QString::fromStdString(ShortNumber(value));
}

// Large and small numbers as 1.2·10⁹ and 2.5·10⁻⁹, the rest as they are.
QString Scientific(double value)
{
    if (value == 0 || (std::abs(value) >= 0.01 && std::abs(value) < 100000)) {
        return Number(value);
    }
    static const QString superscripts = QStringLiteral("⁰¹²³⁴⁵⁶⁷⁸⁹");
    const int exponent = static_cast<int>(std::floor(std::log10(std::abs(value))));
    const double mantissa = value / std::pow(10.0, exponent);
    QString power;
    for (const QChar digit : QString::number(std::abs(exponent))) {
        power += superscripts.at(digit.digitValue());
    }
    return QString::number(mantissa, 'f', 1) + QStringLiteral("·10")
        + (exponent < 0 ? QStringLiteral("⁻") : QString()) + power;
}

QString Whole(double value)
{
    return QString::number(value, 'f', 0);
}

QString KindText(ByteFault fault)
{
    switch (fault) {
    case ByteFault::Corrupted:
        return T::Corrupted;
    case ByteFault::Lost:
        return T::Lost;
    case ByteFault::Inserted:
        return T::Inserted;
    }
    return {};
}

QString ByteText(int byte)
{
    return byte < 0 ? QStringLiteral("—")
                    : QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

QLabel *Figure(const char *name)
{
    auto *label = new QLabel;
    label->setObjectName(QLatin1String(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

LineTestWindow::LineTestWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("LineTestWindow"));
    setWindowTitle(T::Caption);
    setAccessibleName(T::Caption);
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(&AccessibleWidgetsFactory);
        return true;
    }();
    static_cast<void>(factoryInstalled);
    resize(760, 620);

    patternBox = new QComboBox;
    patternBox->setObjectName(QStringLiteral("PatternBox"));
    patternBox->addItem(T::Counting, QStringLiteral("counting"));
    for (const char *name : { "prbs7", "prbs15", "prbs23", "prbs31" }) {
        patternBox->addItem(QString::fromLatin1(name).toUpper().insert(4, QLatin1Char('-')),
            QString::fromLatin1(name));
    }
    patternBox->addItem(T::PatternFile, QStringLiteral("file"));
    patternBox->setCurrentIndex(2);
    modeBox = new QComboBox;
    modeBox->setObjectName(QStringLiteral("ModeBox"));
    modeBox->addItem(T::Loopback, int(LineMode::Loopback));
    modeBox->addItem(T::ReceiveOnly, int(LineMode::Receive));
    modeBox->addItem(T::TransmitOnly, int(LineMode::Transmit));
    secondsBox = new QSpinBox;
    secondsBox->setObjectName(QStringLiteral("SecondsBox"));
    secondsBox->setRange(0, 7 * 24 * 3600);
    secondsBox->setValue(60);
    secondsBox->setSpecialValueText(T::NoLimit);
    rateBox = new QSpinBox;
    rateBox->setObjectName(QStringLiteral("RateBox"));
    rateBox->setRange(0, 100000000);
    rateBox->setSpecialValueText(T::LineSpeed);
    startButton = new QPushButton(T::Start);
    startButton->setObjectName(QStringLiteral("StartButton"));
    stopButton = new QPushButton(T::Stop);
    stopButton->setObjectName(QStringLiteral("StopButton"));
    stopButton->setEnabled(false);

    auto *settings = new QHBoxLayout;
    for (auto [caption, box, name] :
        { std::tuple<QString, QWidget *, QString> { T::Pattern, patternBox, T::PatternName },
            { T::Mode, modeBox, T::ModeName }, { T::Duration, secondsBox, T::DurationName },
            { T::Rate, rateBox, T::RateName } }) {
        auto *label = new QLabel(caption);
        label->setBuddy(box);
        box->setAccessibleName(name);
        settings->addWidget(label);
        settings->addWidget(box);
    }
    settings->addStretch();
    settings->addWidget(startButton);
    settings->addWidget(stopButton);

    stateLabel = Figure("StateLabel");
    trafficLabel = Figure("TrafficLabel");
    rateLabel = Figure("RateLabel");
    errorsLabel = Figure("ErrorsLabel");
    berLabel = Figure("BerLabel");
    latencyLabel = Figure("LatencyLabel");
    driverLabel = Figure("DriverLabel");
    auto *figures = new QVBoxLayout;
    for (QLabel *label :
        { stateLabel, trafficLabel, rateLabel, errorsLabel, berLabel, latencyLabel, driverLabel }) {
        figures->addWidget(label);
    }

    m_chart = new QChart;
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    m_rateSeries = new QLineSeries;
    m_rateSeries->setName(T::RateSeries);
    m_errorSeries = new QLineSeries;
    m_errorSeries->setName(T::ErrorSeries);
    m_chart->addSeries(m_rateSeries);
    m_chart->addSeries(m_errorSeries);
    m_timeAxis = new QValueAxis;
    m_timeAxis->setTitleText(T::Time);
    m_timeAxis->setLabelFormat(QStringLiteral("%.0f"));
    m_rateAxis = new QValueAxis;
    m_rateAxis->setLabelFormat(QStringLiteral("%.1f"));
    m_errorAxis = new QValueAxis;
    m_errorAxis->setLabelFormat(QStringLiteral("%.0f"));
    m_timeAxis->setRange(0, 10);
    m_rateAxis->setRange(0, 1);
    m_errorAxis->setRange(0, 10);
    for (QValueAxis *axis : { m_timeAxis, m_rateAxis, m_errorAxis }) {
        axis->applyNiceNumbers();
    }
    m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
    m_chart->addAxis(m_rateAxis, Qt::AlignLeft);
    m_chart->addAxis(m_errorAxis, Qt::AlignRight);
    m_rateSeries->attachAxis(m_timeAxis);
    m_rateSeries->attachAxis(m_rateAxis);
    m_errorSeries->attachAxis(m_timeAxis);
    m_errorSeries->attachAxis(m_errorAxis);
    chartView = new QChartView(m_chart);
    chartView->setObjectName(QStringLiteral("RateChart"));
    chartView->setAccessibleName(T::ChartName);
    chartView->setRenderHint(QPainter::Antialiasing);
    chartView->setMinimumHeight(200);

    errorTable = new QTableWidget(0, 5);
    errorTable->setObjectName(QStringLiteral("ErrorTable"));
    errorTable->setAccessibleName(T::ErrorTableName);
    errorTable->setHorizontalHeaderLabels({ T::Offset.text(), T::Kind.text(), T::Expected.text(),
        T::Received.text(), T::Time.text() });
    errorTable->horizontalHeader()->setStretchLastSection(true);
    errorTable->verticalHeader()->setVisible(false);
    errorTable->setEditTriggers(QAbstractItemView::NoEditTriggers);

    saveJsonButton = new QPushButton(T::SaveJson);
    saveJsonButton->setObjectName(QStringLiteral("SaveJsonButton"));
    saveCsvButton = new QPushButton(T::SaveCsv);
    saveCsvButton->setObjectName(QStringLiteral("SaveCsvButton"));
    copyButton = new QPushButton(T::CopySummary);
    copyButton->setObjectName(QStringLiteral("CopySummaryButton"));
    auto *results = new QHBoxLayout;
    results->addStretch();
    for (QPushButton *button : { saveJsonButton, saveCsvButton, copyButton }) {
        button->setEnabled(false);
        results->addWidget(button);
    }

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(settings);
    layout->addLayout(figures);
    layout->addWidget(chartView, 3);
    layout->addWidget(errorTable, 2);
    layout->addLayout(results);

    showFigures(LineTestSnapshot());

    m_timer = new QTimer(this);
    m_timer->setInterval(250);
    connect(m_timer, &QTimer::timeout, this, &LineTestWindow::refresh);
    connect(startButton, &QPushButton::clicked, this, &LineTestWindow::startTest);
    connect(stopButton, &QPushButton::clicked, this, &LineTestWindow::stopTest);
    connect(saveJsonButton, &QPushButton::clicked, this, [this] { save(true); });
    connect(saveCsvButton, &QPushButton::clicked, this, [this] { save(false); });
    connect(copyButton, &QPushButton::clicked, this, &LineTestWindow::copySummary);
}

LineTestWindow::~LineTestWindow()
{
    if (m_test) {
        m_test->Stop();
        m_test->Wait();
    }
    // Without end(): the main window that held the port is going away too.
}

bool LineTestWindow::isRunning() const
{
    return m_test && !m_test->finished();
}

QString LineTestWindow::patternName() const
{
    const QString name = patternBox->currentData().toString();
    return name == QLatin1String("file") ? QStringLiteral("file:") + m_patternFile : name;
}

void LineTestWindow::startTest()
{
    if (isRunning()) {
        return;
    }
    if (!Port.isOpen()) {
        stateLabel->setText(T::PortNotOpen);
        return;
    }
    if (patternBox->currentData().toString() == QLatin1String("file")) {
        const QString file = QFileDialog::getOpenFileName(this, T::ChooseFile, m_patternFile);
        if (file.isEmpty()) {
            return;
        }
        m_patternFile = file;
    }
    Result<PatternGenerator> pattern = PatternFromName(patternName().toStdString());
    if (!pattern) {
        stateLabel->setText(T::CannotRead.arg(QString::fromStdString(pattern.status().reason())));
        return;
    }
    if (claimPort && !claimPort()) {
        return;
    }
    m_holding = true;
    const SerialPort::LineSettings line = Port.lastSettings();
    LineTestConfig config;
    config.mode = static_cast<LineMode>(modeBox->currentData().toInt());
    config.seconds = secondsBox->value();
    config.rate = rateBox->value();
    config.framing.baudRate = line.baudRate;
    config.framing.dataBits = line.dataBits;
    config.framing.parity = line.parity;
    config.framing.stopBits = line.stopBits;
    m_test.reset();
    m_channel = std::make_unique<PortChannel>(Port);
    m_test = std::make_unique<LineTest>(*m_channel, std::move(*pattern), config);
    m_rateSeries->clear();
    m_errorSeries->clear();
    errorTable->setRowCount(0);
    m_shownPlaces = 0;
    m_lastSeconds = 0;
    m_lastReceived = 0;
    m_rateNow = 0;
    m_rateMax = 1;
    m_test->Start();
    for (QWidget *widget : std::initializer_list<QWidget *> {
             startButton, patternBox, modeBox, secondsBox, rateBox }) {
        widget->setEnabled(false);
    }
    for (QPushButton *button : { saveJsonButton, saveCsvButton, copyButton }) {
        button->setEnabled(false);
    }
    stopButton->setEnabled(true);
    stateLabel->setText(T::Running);
    m_timer->start();
    refresh();
}

void LineTestWindow::stopTest()
{
    if (m_test) {
        m_test->Stop();
    }
}

void LineTestWindow::refresh()
{
    if (!m_test) {
        return;
    }
    const LineTestSnapshot f = m_test->snapshot();
    const double interval = f.seconds - m_lastSeconds;
    // The rate now: over the last half second or more.
    if (interval >= 0.5 || f.finished) {
        if (interval > 0) {
            m_rateNow = (static_cast<double>(f.received) - m_lastReceived) / interval;
            if (f.received == 0 && m_test->config().mode == LineMode::Transmit) {
                m_rateNow = (static_cast<double>(f.sent) - m_lastReceived) / interval;
            }
        }
        m_lastReceived = static_cast<double>(
            m_test->config().mode == LineMode::Transmit ? f.sent : f.received);
        m_lastSeconds = f.seconds;
        m_rateSeries->append(f.seconds, m_rateNow / 1000);
        m_errorSeries->append(f.seconds, static_cast<double>(f.counts.errors()));
        m_rateMax = std::max(m_rateMax, m_rateNow / 1000 * 1.1);
        m_timeAxis->setRange(0, std::max(10.0, f.seconds));
        m_timeAxis->applyNiceNumbers();
        m_rateAxis->setRange(0, m_rateMax);
        m_rateAxis->applyNiceNumbers();
        m_errorAxis->setRange(0, std::max(10.0, static_cast<double>(f.counts.errors()) * 1.1));
        m_errorAxis->applyNiceNumbers();
    }
    showFigures(f);
    const int count = static_cast<int>(m_test->placeCount());
    const ErrorPlace *places = m_test->places();
    errorTable->setRowCount(count);
    for (; m_shownPlaces < count; ++m_shownPlaces) {
        const ErrorPlace &place = places[m_shownPlaces];
        const QString cells[] = { QString::number(place.offset), KindText(place.fault),
            ByteText(place.expected), ByteText(place.received),
            QString::number(static_cast<double>(place.timeNs) * 1e-9, 'f', 3) };
        for (int column = 0; column < 5; ++column) {
            errorTable->setItem(m_shownPlaces, column, new QTableWidgetItem(cells[column]));
        }
    }
    if (f.finished) {
        end();
    }
}

void LineTestWindow::showFigures(const LineTestSnapshot &f)
{
    const bool transmit = m_test && m_test->config().mode == LineMode::Transmit;
    const double moved = static_cast<double>(transmit ? f.sent : f.received);
    const double average = f.seconds > 0 ? moved / f.seconds : 0;
    trafficLabel->setText(T::Traffic.arg(f.sent).arg(f.received).arg(f.counts.checked));
    rateLabel->setText(T::RateFigure.arg(
        Whole(m_rateNow), Whole(average), Whole(f.capacity > 0 ? 100 * average / f.capacity : 0)));
    errorsLabel->setText(T::ErrorsFigure.arg(f.counts.errors())
                             .arg(f.counts.corrupted)
                             .arg(f.counts.lost)
                             .arg(f.counts.inserted));
    berLabel->setText(T::BerFigure.arg(QString::number(f.counts.bitErrors),
        Scientific(static_cast<double>(f.bitsChecked())), Scientific(f.berUpperBound)));
    latencyLabel->setText(f.latencySamples > 0 ? T::LatencyFigure.arg(Number(f.latencyMinMs),
                              Number(f.latencyMedianMs), Number(f.latencyP99Ms))
                                               : T::LatencyNone.text());
    driverLabel->setText(f.hasLineErrors ? T::DriverFigure.arg(f.lineErrors.overrun)
                                               .arg(f.lineErrors.frame)
                                               .arg(f.lineErrors.parity)
                                               .arg(f.lineErrors.breaks)
                                               .arg(f.lineErrors.bufferOverrun)
                                         : T::DriverNone.text());
}

void LineTestWindow::end()
{
    m_timer->stop();
    m_test->Wait();
    const LineTestSnapshot f = m_test->snapshot();
    if (!f.failure.ok()) {
        stateLabel->setText(T::Interrupted.arg(QString::fromStdString(f.failure.reason())));
    } else {
        stateLabel->setText(LineTestPassed(f, m_test->config().mode, {}) ? T::Passed : T::Failed);
    }
    for (QWidget *widget : std::initializer_list<QWidget *> { startButton, patternBox, modeBox,
             secondsBox, rateBox, saveJsonButton, saveCsvButton, copyButton }) {
        widget->setEnabled(true);
    }
    stopButton->setEnabled(false);
    if (m_holding && releasePort) {
        releasePort();
    }
    m_holding = false;
    emit finished();
}

void LineTestWindow::save(bool json)
{
    if (!m_test) {
        return;
    }
    const QString path = QFileDialog::getSaveFileName(this, T::SaveResult, QString(),
        json ? QStringLiteral("JSON (*.json)") : QStringLiteral("CSV (*.csv)"));
    if (path.isEmpty()) {
        return;
    }
    const LineTestReport result = report(true);
    std::ofstream out(LocalPath(path), std::ios::binary | std::ios::trunc);
    if (json) {
        WriteLineTestJson(result, out);
    } else {
        WriteLineTestCsv(result, out);
    }
    out.close();
    if (!out) {
        stateLabel->setText(T::CannotWrite.arg(path));
    }
}

void LineTestWindow::copySummary()
{
    if (!m_test) {
        return;
    }
    // The summary is the same plain text as the command's, for pasting into reports.
    QApplication::clipboard()->setText(QString::fromStdString(LineTestSummary(report(false))));
}

LineTestReport LineTestWindow::report(bool withPlaces) const
{
    LineTestReport result;
    result.pattern = patternName().toStdString();
    result.mode = m_test->config().mode;
    result.framing = m_test->config().framing;
    result.figures = m_test->snapshot();
    if (withPlaces) {
        result.places = m_test->places();
        result.placeCount = m_test->placeCount();
    }
    result.passed = LineTestPassed(result.figures, result.mode, {});
    return result;
}

void LineTestWindow::closeEvent(QCloseEvent *event)
{
    stopTest();
    if (m_test) {
        m_test->Wait();
        if (m_timer->isActive()) {
            refresh();
        }
    }
    event->accept();
}
