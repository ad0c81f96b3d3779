#include "core/INI.h"

#include "core/Files.h"
#include "core/IniFile.h"
#include "core/ProgramFolder.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace {

const QString kMainSection = QStringLiteral("Main");
const QString kLangSection = QStringLiteral("Падонак");

QString readLimited(const QString &path, const QString &section, const QString &key, const QString &defaultValue,
                    int limit)
{
    const auto value = zv::IniFile::load(path).value(section, key);
    return (value ? *value : defaultValue).left(limit);
}

} // namespace

QString ReadOption(const QString &key, const QString &defaultValue)
{
    return readLimited(zv::optionsPath(), kMainSection, key, defaultValue, zv::kOptionValueLimit);
}

void WriteOption(const QString &key, const QString &value)
{
    zv::IniFile ini = zv::IniFile::load(zv::optionsPath());
    ini.setValue(kMainSection, key, value);
    ini.save(zv::optionsPath());
}

QString ReadLangString(const QString &key, const QString &defaultValue)
{
    return readLimited(zv::languagePath(), kLangSection, key, defaultValue, zv::kLangValueLimit);
}

QString ReadIniValue(const QString &file, const QString &section, const QString &key, const QString &defaultValue)
{
    return readLimited(file, section, key, defaultValue, zv::kOptionValueLimit);
}

namespace zv {

QString optionsPath()
{
    return programFile(QStringLiteral("Options.ini"));
}

QString languagePath()
{
    return programFile(QStringLiteral("Language.ini"));
}

QString irregularSettingsMessage(const QString &path)
{
    const QString reason = irregularFileReason(path);
    if (reason.isEmpty())
        return QString();
    return QStringLiteral("Файл «") + path + QStringLiteral("» не прочитан: ") + reason +
           QStringLiteral(". Программа работает с настройками по умолчанию и ничего в него не записывает.");
}

int optionAsNumber(const QString &text, int fallback)
{
    static const QRegularExpression leadingNumber(QStringLiteral("^[ \\t]*([+-]?(\\d+\\.?\\d*|\\.\\d+))"));
    const auto match = leadingNumber.match(text);
    if (!match.hasMatch())
        return 0;
    bool ok = false;
    const double number = match.captured(1).toDouble(&ok);
    if (!ok)
        return 0;
    // Halves go to the even neighbour, as the 16-bit conversion of the settings always did.
    const double rounded = std::nearbyint(number);
    if (rounded < std::numeric_limits<qint16>::min() || rounded > std::numeric_limits<qint16>::max())
        return fallback;
    return int(rounded);
}

bool optionAsFlag(const QString &text, bool fallback)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double number = t.toDouble(&ok);
    return ok ? number != 0 : fallback;
}

QString nextRunCount(const QString &stored)
{
    constexpr qint32 largest = std::numeric_limits<qint32>::max();
    static const QRegularExpression count(QStringLiteral("^\\+?([0-9]+)$"));
    const auto match = count.match(stored.trimmed());
    if (!match.hasMatch())
        return QStringLiteral("2");
    // Any number of digits: a count too long for 64 bits is past the largest one as well.
    const QString digits = match.captured(1);
    bool ok = false;
    const qint64 number = digits.toLongLong(&ok);
    if (!ok || number >= largest)
        return QString::number(largest);
    return QString::number(number + 1);
}

} // namespace zv
