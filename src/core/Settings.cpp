#include "core/Settings.h"

#include "core/INI.h"

#include <array>

namespace zv {

namespace {

// Every key of Options.ini, in the order of the enum.
const std::array<OptionKey, 10> &keys()
{
    static const std::array<OptionKey, 10> table{{
        {QStringLiteral("OnTop"), QStringLiteral("0"), OptionReading::Flag},
        {QStringLiteral("TraspLevel"), QStringLiteral("255"), OptionReading::Number},
        {QStringLiteral("ShowRun"), QStringLiteral("1"), OptionReading::Flag},
        {QStringLiteral("RunCount"), QStringLiteral("1"), OptionReading::Text},
        {QStringLiteral("SplashScreen"), QStringLiteral("1"), OptionReading::Flag},
        {QStringLiteral("Lang"), QString(), OptionReading::Text},
        {QStringLiteral("Compact"), QString(), OptionReading::Text},
        {QStringLiteral("adds"), QString(), OptionReading::Text},
        {QStringLiteral("taskkill"), QString(), OptionReading::Text},
        {QStringLiteral("Sex"), QString(), OptionReading::Text},
    }};
    return table;
}

int numberOrDefault(const OptionKey &key)
{
    return optionAsNumber(ReadOption(key.name, key.defaultValue), optionAsNumber(key.defaultValue, 0));
}

} // namespace

const OptionKey &optionKey(Option option)
{
    return keys().at(size_t(option));
}

QString readOption(Option option)
{
    const OptionKey &key = optionKey(option);
    return ReadOption(key.name, key.defaultValue);
}

int readOptionNumber(Option option)
{
    return numberOrDefault(optionKey(option));
}

bool readOptionFlag(Option option)
{
    const OptionKey &key = optionKey(option);
    return optionAsFlag(ReadOption(key.name, key.defaultValue), optionAsFlag(key.defaultValue, false));
}

bool readOptionChecked(Option option)
{
    return numberOrDefault(optionKey(option)) == 1;
}

void writeOption(Option option, const QString &value)
{
    WriteOption(optionKey(option).name, value);
    emit settingsEvents().written(option, value);
}

void writeOptionFlag(Option option, bool on)
{
    writeOption(option, on ? QStringLiteral("1") : QStringLiteral("0"));
}

SettingsEvents &settingsEvents()
{
    static SettingsEvents events;
    return events;
}

} // namespace zv
