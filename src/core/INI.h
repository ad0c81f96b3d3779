#pragma once

#include <QString>

// The settings file Options.ini (section "Main"), the caption file Language.ini
// (section "Падонак") and any other file of the same format. Nothing is cached:
// every read goes to the file and every write goes straight to it.

QString ReadOption(const QString &key, const QString &defaultValue);
// A folder that cannot be written leaves the settings as they were, silently.
void WriteOption(const QString &key, const QString &value);
QString ReadLangString(const QString &key, const QString &defaultValue);
QString ReadIniValue(const QString &file, const QString &section, const QString &key, const QString &defaultValue);

namespace zv {

inline constexpr int kOptionValueLimit = 254;
inline constexpr int kLangValueLimit = 998;

// The leading decimal number of `text` (blanks skipped), rounded to a 16-bit integer.
// Text without a leading number reads as 0; a number outside the 16-bit range gives `fallback`.
int optionAsNumber(const QString &text, int fallback);
// "True"/"False" in any letter case, or a number (true when not zero); anything else gives `fallback`.
bool optionAsFlag(const QString &text, bool fallback);
// The run counter to store after a start, from the stored one: one more. It stops at the largest
// count, 2147483647, rather than run over into a negative or small number; a stored text that is
// no count (empty, a word, a negative or broken number) starts again at 2, as after a first start.
QString nextRunCount(const QString &stored);

QString optionsPath();
QString languagePath();

// What to tell the user at start when the settings file `path` is there but is no regular file
// (a pipe, a folder): the program then goes on with the defaults and writes nothing over it.
// An empty text when the file is regular or missing.
QString irregularSettingsMessage(const QString &path);

} // namespace zv
