#pragma once

#include <QWidget>

#include <functional>
#include <memory>

class LineChannel;
struct LineTestReport;
struct LineTestSnapshot;
class LineTest;
class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QLineSeries;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTimer;
class QValueAxis;

// The line test window (工具 → 线路测试): pattern, mode, duration and rate, the live
// figures, a chart of the rate and the errors over time and the error places. It tests
// over the program's port as it is open; `claimPort` and `releasePort` are called
// around a run so that the main window keeps sending and receiving off the port.
// User-interface thread only.
class LineTestWindow : public QWidget
{
    Q_OBJECT

public:
    explicit LineTestWindow(QWidget *parent = nullptr);
    ~LineTestWindow() override;

    // Asked before a run: false when the port cannot be given to the test.
    std::function<bool()> claimPort;
    std::function<void()> releasePort;

    [[nodiscard]] bool isRunning() const;
    void startTest();
    void stopTest();

    QComboBox *patternBox = nullptr;
    QComboBox *modeBox = nullptr;
    QSpinBox *secondsBox = nullptr;
    QSpinBox *rateBox = nullptr;
    QPushButton *startButton = nullptr;
    QPushButton *stopButton = nullptr;
    QLabel *stateLabel = nullptr;
    QLabel *trafficLabel = nullptr;
    QLabel *rateLabel = nullptr;
    QLabel *errorsLabel = nullptr;
    QLabel *berLabel = nullptr;
    QLabel *latencyLabel = nullptr;
    QLabel *driverLabel = nullptr;
    QChartView *chartView = nullptr;
    QTableWidget *errorTable = nullptr;
    QPushButton *saveJsonButton = nullptr;
    QPushButton *saveCsvButton = nullptr;
    QPushButton *copyButton = nullptr;

signals:
    void finished();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void refresh();
    void showFigures(const LineTestSnapshot &figures);
    void end();
    [[nodiscard]] QString patternName() const;
    void save(bool json);
    void copySummary();
    // The running test as the command reports it, with its error places or without.
    [[nodiscard]] LineTestReport report(bool withPlaces) const;

    std::unique_ptr<LineChannel> m_channel;
    std::unique_ptr<LineTest> m_test;
    QString m_patternFile;
    QTimer *m_timer = nullptr;
    QChart *m_chart = nullptr;
    QLineSeries *m_rateSeries = nullptr;
    QLineSeries *m_errorSeries = nullptr;
    QValueAxis *m_timeAxis = nullptr;
    QValueAxis *m_rateAxis = nullptr;
    QValueAxis *m_errorAxis = nullptr;
    double m_lastSeconds = 0;
    double m_lastReceived = 0;
    double m_rateNow = 0;
    double m_rateMax = 1;
    int m_shownPlaces = 0;
    bool m_holding = false;
};
