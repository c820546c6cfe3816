// Renders the main window, as a user first sees it after one exchange with a device,
// into a PNG image for the software centre's screenshot. Runs offscreen on a settings
// folder of its own, with COM1 linked to a pseudo-terminal that sends back every byte.
// Usage: byteway-screenshot OUTPUT.png [COMMITTED.png]
// With COMMITTED.png it also says whether the committed picture still shows the
// window as it is now, and fails when it does not. The picture is drawn with the
// fonts the install script installs and nothing else, so other fonts on the machine
// (a second CJK font, say) cannot change it.

#include "app/Main.h"
#include "app/icons.h"
#include "app/startup.h"
#include "send/sendui.h"
#include "serial/serialport.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QToolButton>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Runs the event loop until `done` holds or `ms` milliseconds have passed.
bool waitFor(const std::function<bool()> &done, int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired()) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

// Plays the device: everything the program sent comes back.
void echo(int master)
{
    char buffer[256];
    ssize_t count = 0;
    while ((count = read(master, buffer, sizeof buffer)) > 0) {
        if (write(master, buffer, static_cast<size_t>(count)) != count) {
            return;
        }
    }
}

// The share of pixels that differ clearly between two pictures; 1 when their sizes
// differ. The traffic rates and the pseudo-terminal's number change from one
// rendering to the next, so a few hundred pixels always do.
double DifferingShare(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.isNull()) {
        return 1.0;
    }
    const QImage left = a.convertToFormat(QImage::Format_RGB32);
    const QImage right = b.convertToFormat(QImage::Format_RGB32);
    qint64 differing = 0;
    for (int y = 0; y < left.height(); ++y) {
        const auto *l = reinterpret_cast<const QRgb *>(left.constScanLine(y));
        const auto *r = reinterpret_cast<const QRgb *>(right.constScanLine(y));
        for (int x = 0; x < left.width(); ++x) {
            const int d = std::abs(qRed(l[x]) - qRed(r[x])) + std::abs(qGreen(l[x]) - qGreen(r[x]))
                + std::abs(qBlue(l[x]) - qBlue(r[x]));
            differing += d > 96 ? 1 : 0;
        }
    }
    return static_cast<double>(differing) / (static_cast<double>(left.width()) * left.height());
}

constexpr double kStaleShare = 0.01;

// The fonts of tools/install-deps.sh (fonts-noto-cjk, fonts-dejavu-core), alone, with
// their cache in the temporary home; the system's rules still choose among them.
bool UseInstalledFontsOnly(const QTemporaryDir &home)
{
    const QString conf = home.filePath(QStringLiteral("fonts.conf"));
    QFile file(conf);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const QString text
        = QStringLiteral("<?xml version=\"1.0\"?>\n<fontconfig>\n"
                         "<include ignore_missing=\"yes\">/etc/fonts/conf.d</include>\n"
                         "<dir>/usr/share/fonts/opentype/noto</dir>\n"
                         "<dir>/usr/share/fonts/truetype/dejavu</dir>\n"
                         "<cachedir>%1</cachedir>\n</fontconfig>\n")
              .arg(home.filePath(QStringLiteral("fontcache")));
    if (file.write(text.toUtf8()) < 0) {
        return false;
    }
    file.close();
    qputenv("FONTCONFIG_FILE", QFile::encodeName(conf));
    return true;
}

// What changes from one rendering to the next, the traffic rate and the
// pseudo-terminal's number, is shown as one fixed value.
void FreezeLiveFigures()
{
    static const QRegularExpression rate(QStringLiteral("[0-9.]+ (k?)B/s"));
    static const QRegularExpression pty(QStringLiteral("/dev/pts/[0-9]+"));
    MainForm->TrafficField->setText(
        MainForm->TrafficField->text().replace(rate, QStringLiteral("5 \\1B/s")));
    MainForm->PortState->setText(
        MainForm->PortState->text().replace(pty, QStringLiteral("/dev/pts/1")));
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s OUTPUT.png [COMMITTED.png]\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    int master = -1;
    int slave = -1;
    if (!home.isValid() || openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        std::fprintf(stderr, "screenshot: no temporary folder or pseudo-terminal\n");
        return 1;
    }
    termios raw {};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    if (!UseInstalledFontsOnly(home)) {
        std::fprintf(stderr, "screenshot: cannot write the font configuration\n");
        return 1;
    }
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    QDir(home.path()).mkpath(QStringLiteral("byteway"));
    const QByteArray com1 = QFile::encodeName(home.filePath(QStringLiteral("byteway/com1")));
    if (symlink(ptsname(master), com1.constData()) != 0) {
        std::fprintf(stderr, "screenshot: cannot link %s\n", com1.constData());
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Byteway"));
    QApplication::setWindowIcon(Icons::ProgramIcon());
    CreateMainObjects();
    MainForm->show();
    // A warning box means the port did not open: the picture would show the wrong thing.
    bool warned = false;
    const bool started = waitFor(
        [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                warned = true;
                box->done(QMessageBox::Ok);
            }
            return warned || MainForm->ChildCount() > 0;
        },
        10000);
    if (!started || warned) {
        std::fprintf(stderr, "screenshot: the main window did not start on its demo port\n");
        DestroyMainObjects();
        // Before the static objects go: the port's destructor would close it after the
        // device table it needs is gone.
        Port.Close();
        return 1;
    }

    MainForm->Edit2->setText(QStringLiteral("48 65 6C 6C 6F"));
    MainForm->BtnRecieve->click();
    MainForm->BtnSend->click();
    // The send runs on its own thread: released at once, it would stop before its
    // bytes went out. With timed sending on, the button stays down and the timer
    // would send again.
    waitFor(
        [&] {
            echo(master);
            return !MainForm->Sender->isSending();
        },
        2000);
    if (MainForm->BtnSend->isChecked()) {
        MainForm->BtnSend->click();
    }
    waitFor(
        [&] {
            echo(master);
            return false;
        },
        1000);
    MainForm->BtnRecieve->click();
    waitFor([] { return false; }, 200);

    FreezeLiveFigures();
    const bool saved = MainForm->grab().save(QString::fromLocal8Bit(argv[1]), "PNG");
    DestroyMainObjects();
    // Before the static objects go: the port's destructor would close it after the
    // device table it needs is gone.
    Port.Close();
    close(slave);
    close(master);
    if (!saved) {
        std::fprintf(stderr, "screenshot: cannot write %s\n", argv[1]);
        return 1;
    }
    if (argc == 3) {
        const double share = DifferingShare(
            QImage(QString::fromLocal8Bit(argv[1])), QImage(QString::fromLocal8Bit(argv[2])));
        std::printf("screenshot: %.2f%% of the pixels differ from %s\n", share * 100, argv[2]);
        if (share > kStaleShare) {
            std::fprintf(stderr,
                "screenshot: %s is stale; run `make screenshot` and commit the new picture\n",
                argv[2]);
            return 1;
        }
    }
    return 0;
}
