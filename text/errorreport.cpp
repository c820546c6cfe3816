#include "errorreport.h"

#include <QGuiApplication>
#include <QMessageBox>

void ShowErrorReport(QWidget *parent, const QString &message)
{
    QMessageBox box(QMessageBox::Critical, QGuiApplication::applicationDisplayName(),
        message + QLatin1Char('.'), QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("ErrorReport"));
    box.exec();
}
