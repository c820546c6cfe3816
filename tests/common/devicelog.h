#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

// The bytes byteway-device recorded with --log, one "<time> <hex>" line each; empty
// while the file is missing.
inline QByteArray DeviceLogBytes(const QString &path)
{
    QByteArray bytes;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return bytes;
    }
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() == 2 && !fields[1].isEmpty()) {
            bytes.append(static_cast<char>(fields[1].toInt(nullptr, 16)));
        }
    }
    return bytes;
}
