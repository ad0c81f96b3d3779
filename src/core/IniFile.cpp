#include "core/IniFile.h"

#include "core/Files.h"
#include "core/TextCodec.h"

#include <QFile>
#include <QSaveFile>

namespace zv {

namespace {

const QByteArray kUtf8Bom("\xEF\xBB\xBF");

// The name inside "[...]" of a header line, or nullopt for any other line.
std::optional<QByteArray> headerName(const QByteArray &line)
{
    const QByteArray t = line.trimmed();
    if (t.size() < 2 || t.front() != '[')
        return std::nullopt;
    const qsizetype close = t.indexOf(']');
    if (close < 0)
        return std::nullopt;
    return t.mid(1, close - 1).trimmed();
}

} // namespace

IniFile IniFile::load(const QString &path)
{
    QFile file(path);
    if (!openRegularFile(file))
        return IniFile();
    return fromBytes(file.readAll());
}

IniFile IniFile::fromBytes(const QByteArray &bytes)
{
    IniFile ini;
    QByteArray body = bytes;
    if (body.startsWith(kUtf8Bom)) {
        ini.m_utf8 = true;
        body.remove(0, kUtf8Bom.size());
    }
    if (body.isEmpty())
        return ini;
    ini.m_lines = body.split('\n');
    // A file that ends with a line break has no line after it.
    if (ini.m_lines.last().isEmpty())
        ini.m_lines.removeLast();
    for (QByteArray &line : ini.m_lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    return ini;
}

QString IniFile::decode(const QByteArray &bytes) const
{
    return m_utf8 ? QString::fromUtf8(bytes) : fromCp1251(bytes);
}

QByteArray IniFile::encode(const QString &text) const
{
    return m_utf8 ? text.toUtf8() : toCp1251(text);
}

qsizetype IniFile::findSection(const QString &section) const
{
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const auto name = headerName(m_lines.at(i));
        if (name && decode(*name).compare(section, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

qsizetype IniFile::sectionEnd(qsizetype header) const
{
    qsizetype i = header + 1;
    while (i < m_lines.size() && !headerName(m_lines.at(i)))
        ++i;
    return i;
}

qsizetype IniFile::findKey(qsizetype header, const QString &key) const
{
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        const QByteArray &line = m_lines.at(i);
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0 || line.trimmed().startsWith(';'))
            continue;
        if (decode(line.left(eq).trimmed()).compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

std::optional<QString> IniFile::value(const QString &section, const QString &key) const
{
    const qsizetype header = findSection(section);
    if (header < 0)
        return std::nullopt;
    const qsizetype line = findKey(header, key);
    if (line < 0)
        return std::nullopt;
    const QByteArray &text = m_lines.at(line);
    return decode(text.mid(text.indexOf('=') + 1));
}

void IniFile::setValue(const QString &section, const QString &key, const QString &value)
{
    const QByteArray newLine = encode(key) + '=' + encode(value);
    qsizetype header = findSection(section);
    if (header < 0) {
        m_lines.append('[' + encode(section) + ']');
        m_lines.append(newLine);
        return;
    }
    const qsizetype line = findKey(header, key);
    if (line >= 0) {
        m_lines[line] = newLine;
        return;
    }
    // After the section's last non-blank line, so a blank line before the next section stays put.
    qsizetype at = sectionEnd(header);
    while (at > header + 1 && m_lines.at(at - 1).trimmed().isEmpty())
        --at;
    m_lines.insert(at, newLine);
}

QByteArray IniFile::toBytes() const
{
    QByteArray out = m_utf8 ? kUtf8Bom : QByteArray();
    for (const QByteArray &line : m_lines)
        out += line + crlf;
    return out;
}

bool IniFile::save(const QString &path) const
{
    // A pipe or a folder in the settings file's place is the user's, not replaced by settings.
    if (!mayReplaceFile(path))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(toBytes());
    return file.commit();
}

} // namespace zv
