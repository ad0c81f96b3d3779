#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace zv {

// A sectioned settings file ("[Section]" headers, "key=value" lines) edited line by line:
// lines it does not change are written back byte for byte. Keys and sections are compared
// ignoring letter case; values are kept exactly. Text is Windows-1251 unless the file
// starts with a UTF-8 byte-order mark.
class IniFile
{
public:
    // An absent or unreadable file, or one that is not a regular file, gives an empty one.
    static IniFile load(const QString &path);
    static IniFile fromBytes(const QByteArray &bytes);

    std::optional<QString> value(const QString &section, const QString &key) const;
    void setValue(const QString &section, const QString &key, const QString &value);

    QByteArray toBytes() const;
    // Written through a temporary file and a rename; false when that failed, and when something
    // other than a regular file has the name (it is left as it is).
    bool save(const QString &path) const;

private:
    QString decode(const QByteArray &bytes) const;
    QByteArray encode(const QString &text) const;
    // Index of the header line of `section`, or -1.
    qsizetype findSection(const QString &section) const;
    // Index of the line of `key` within the section starting at `header`, or -1.
    qsizetype findKey(qsizetype header, const QString &key) const;
    qsizetype sectionEnd(qsizetype header) const;

    QList<QByteArray> m_lines; // without their line ends
    bool m_utf8 = false;
};

} // namespace zv
