#pragma once

#include <QByteArray>
#include <QString>

namespace zv {

// The text files the program exchanges (exports, update lists and entries, Options.ini,
// Language.ini) are Windows-1251; these two are the only place that knows it.
QString fromCp1251(const QByteArray &bytes);
// Characters that Windows-1251 cannot hold become '?'.
QByteArray toCp1251(const QString &text);

// Line breaks of the exchanged text files.
inline constexpr char crlf[] = "\r\n";

} // namespace zv
