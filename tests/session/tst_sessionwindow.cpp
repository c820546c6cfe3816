#include "receivetesthelpers.h"
#include "session/sessiontexts.h"
#include "session/sessionview.h"
#include "session/sessionwindow.h"
#include "settings/appconfig.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

namespace {

const std::string kSentences
    = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n"
      "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";

// What a reception of `bytes` leaves in the document.
std::string Received(const std::string &bytes)
{
    Reception reception;
    reception.engine.Start();
    if (!reception.pty.send(bytes) || !reception.pumpUntil([&] {
            return reception.doc.text().find("'*' '6' 'A'") != std::string::npos;
        })) {
        return "(reception failed)";
    }
    reception.engine.Stop(reception.target);
    return reception.doc.text();
}

} // namespace

class SessionWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_folder.isValid());
        m_config = std::make_unique<AppConfig>(m_folder.filePath(QStringLiteral("byteway.conf")));
    }

    // The documents show the same with the window open as without it, and the
    // window shows the same bytes as whole sentences.
    void documentsUnchangedWithWindowOpen()
    {
        const std::string without = Received(kSentences);
        SessionWindow window(*m_config);
        window.show();
        const std::string with = Received(kSentences);
        QCOMPARE(with, without);
        window.take();
        std::string kept;
        window.store().copy(window.store().begin(), window.store().end(), kept);
        QCOMPARE(kept, kSentences);
        const QString shown = window.view()->visibleText();
        QVERIFY2(shown.contains(QStringLiteral("$GPRMC,123519")), qPrintable(shown));
        QCOMPARE(shown.count(QLatin1Char('\n')), 1); // two lines
    }

    void findsSwitchesAndChecksFrames()
    {
        SessionWindow window(*m_config);
        window.show();
        for (const char c : kSentences) {
            Traffic.received(uint8_t(c));
        }
        const std::string request("\x01\x03\x00\x00\x00\x0A\xC5\xCD", 8);
        for (const char c : request) {
            Traffic.sent(uint8_t(c));
        }
        window.take();
        auto *search = window.findChild<QLineEdit *>(QStringLiteral("SessionSearch"));
        search->setText(QStringLiteral("gprmc"));
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("SessionHits"))->text(),
            SessionTexts::Hits.arg(1));
        window.findChild<QCheckBox *>(QStringLiteral("SessionCaseSensitive"))->setChecked(true);
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("SessionHits"))->text(),
            SessionTexts::Hits.arg(0));
        search->clear();

        auto *mode = window.findChild<QComboBox *>(QStringLiteral("SessionMode"));
        mode->setCurrentIndex(1);
        QVERIFY(window.view()->visibleText().contains(QStringLiteral("24 47 50 47 47 41")));
        mode->setCurrentIndex(2);
        window.findChild<QCheckBox *>(QStringLiteral("SessionChecks"))->setChecked(true);
        auto *split = window.findChild<QComboBox *>(QStringLiteral("SessionSplit"));
        auto *value = window.findChild<QLineEdit *>(QStringLiteral("SessionSplitValue"));
        split->setCurrentIndex(2);
        value->setText(QStringLiteral("0D 0A"));
        emit value->editingFinished();
        const QString frames = window.view()->visibleText();
        QCOMPARE(frames.count(SessionTexts::NmeaGood.text()), 2);
        QVERIFY2(frames.contains(SessionTexts::CrcGood.text() + QLatin1Char(' ')
                     + SessionTexts::Function3.text()),
            qPrintable(frames));
        mode->setCurrentIndex(0);
        QVERIFY(window.view()->visibleText().contains(QStringLiteral("$GPGGA")));
    }

    void everyControlIsNamed()
    {
        SessionWindow window(*m_config);
        for (QWidget *widget : window.findChildren<QWidget *>()) {
            if (widget->focusPolicy() != Qt::NoFocus && widget->isVisibleTo(&window)
                && !widget->objectName().startsWith(QLatin1String("qt_"))) {
                QVERIFY2(!widget->accessibleName().isEmpty(),
                    qPrintable(widget->metaObject()->className()));
            }
        }
        QAccessibleInterface *view = QAccessible::queryAccessibleInterface(window.view());
        QVERIFY(view && view->textInterface());
    }

private:
    QTemporaryDir m_folder;
    std::unique_ptr<AppConfig> m_config;
};

QTEST_MAIN(SessionWindowTest)
#include "tst_sessionwindow.moc"
