#include "icons.h"

#include <QDir>
#include <QString>

namespace Icons {

QIcon ProgramIcon()
{
    return QIcon(QStringLiteral(":/icons/byteway.svg"));
}

QIcon ButtonIcon(Button button)
{
    const char *name = "send";
    switch (button) {
    case Button::Send:
        name = "send";
        break;
    case Button::Receive:
        name = "receive";
        break;
    case Button::Settings:
        name = "settings";
        break;
    case Button::Clear:
        name = "clear";
        break;
    case Button::Find:
        name = "find";
        break;
    case Button::Port:
        name = "port";
        break;
    }
    return QIcon(QStringLiteral(":/icons/button/%1.svg").arg(QLatin1String(name)));
}

QList<QIcon> MenuImages()
{
    // The files are named "NN-what.svg"; sorting by name puts them in index order.
    const QDir folder(QStringLiteral(":/icons/menu"));
    QList<QIcon> images;
    for (const QString &file :
        folder.entryList({ QStringLiteral("*.svg") }, QDir::Files, QDir::Name)) {
        images.append(QIcon(folder.filePath(file)));
    }
    Q_ASSERT(images.size() == kMenuImageCount);
    return images;
}

} // namespace Icons
