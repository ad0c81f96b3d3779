#pragma once

#include <QObject>
#include <QString>

namespace zv {

// The keys of Options.ini (section "Main"). Their names, defaults and readings are kept in
// one table (Settings.cpp); the windows name a key only through this list.
enum class Option { OnTop, TraspLevel, ShowRun, RunCount, SplashScreen, Lang, Compact, adds, taskkill, Sex };

// How a key's text is taken: as it stands, as a number, or as a flag. A flag that a check box
// shows is read there as a number (readOptionChecked), so "True" sets the window on top but
// leaves the box unchecked.
enum class OptionReading { Text, Number, Flag };

struct OptionKey
{
    QString name;
    QString defaultValue;
    OptionReading reading;
};

const OptionKey &optionKey(Option option);

// The stored text, or the key's default.
QString readOption(Option option);
// The leading number; a number outside the 16-bit range reads as the default's.
int readOptionNumber(Option option);
// "True"/"False" or a number; text that is neither reads as the default.
bool readOptionFlag(Option option);
// A check box's state: checked when the key reads as the number 1.
bool readOptionChecked(Option option);

void writeOption(Option option, const QString &value);
// Flags are written as "1" and "0".
void writeOptionFlag(Option option, bool on);

// Says which setting a window has just written, so that another window whose look follows it
// (the main window's opacity, stacking and run counter) can change at once without being reached
// into. Sent whether or not the file could be written.
class SettingsEvents : public QObject
{
    Q_OBJECT

signals:
    void written(zv::Option option, const QString &value);
};
SettingsEvents &settingsEvents();

} // namespace zv
