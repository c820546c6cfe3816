#pragma once

#include <QByteArray>
#include <QString>

#include <string>
#include <string_view>

// The one place where the user interface's text meets the core's byte strings:
// code page 936 (GBK) on both sides of every conversion.
QString FromCp936(std::string_view bytes);
QString FromCp936(const QByteArray &bytes);
std::string ToCp936(const QString &text);
// The bytes of `text` in code page 936, cut to at most `maxBytes` bytes without
// splitting a double-byte character.
std::string ToCp936Bounded(const QString &text, std::size_t maxBytes);
