#include "errorreport.h"

#include "systemreason.h"

#include <QGuiApplication>
#include <QMessageBox>

void ShowErrorReport(QWidget *parent, const QString &message)
{
    QMessageBox box(QMessageBox::Critical, QGuiApplication::applicationDisplayName(),
        message + QLatin1Char('.'), QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("ErrorReport"));
    box.exec();
}

void ShowErrorReport(QWidget *parent, const Status &failure)
{
    if (!failure.ok() && failure.kind() != ErrorKind::Cancelled) {
        ShowErrorReport(parent, ReasonInWords(failure));
    }
}
