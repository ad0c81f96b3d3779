#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

// Where the update files lie on the server and in the program folder, and how the list
// file reads. The server address is used as typed: the paths are appended to it as they are.
namespace zv::update {

// The server choices offered in cmbServer, in list order; the first shown is the project's site.
QStringList builtInServers();
QString defaultServer();

// The published files, relative to the folder a server serves (and to the address typed
// into the update manager). The publisher writes them, the program reads them.
namespace published {
QString listFile(const QString &table);    // zv_upd/<table>/spisok.txt
QString entryFolder(const QString &table); // zv_upd/<table>/base/
QString versionFile();                     // zv_upd/ProgVer.ini
QString archiveFile();                     // zv_upd/update.rar
QString signatureFile();                   // zv_upd/update.rar.minisig
QString whatsNewFile();                    // zv_upd/whatsnew.txt
} // namespace published

// Text addresses built by plain concatenation.
QString listAddress(const QString &server, const QString &table);
QString entryFolderAddress(const QString &server, const QString &table);
QString versionAddress(const QString &server);
QString archiveAddress(const QString &server);
QString signatureAddress(const QString &server);
// The what's-new page, on the project's site whatever server an update used.
QString whatsNewAddress();

// The entry address with the name percent-encoded as UTF-8, and the same address with the
// name encoded as Windows-1251 (what servers set up for the old Windows program expect).
QUrl entryUrl(const QString &server, const QString &table, const QString &name);
QUrl entryUrlCp1251(const QString &server, const QString &table, const QString &name);
// A typed address turned into a URL; an address without a scheme is invalid.
QUrl toUrl(const QString &address);

// The published folder of a file read from a local server address (file://): what comes before
// the last "zv_upd" folder of its path; a path without one is its own folder's. Nothing read for
// an update may lie outside it.
QString publishedFolderOf(const QString &localFile);

// Splits the list file the way the old program did: a CR is appended, then each CR ends a
// name and the character after it is dropped. An LF-only file therefore gives one name.
QStringList parseList(const QString &text);

// True when `name` can be stored as one plain file of tmp/base: not empty, not "." or "..",
// no "/", "\" or control characters. A leading dot is fine (".NET Framework").
bool isPlainFileName(const QString &name);

// True for names that web servers take as their own settings or secrets when they lie in a
// served folder: Apache's ".htaccess", ".htpasswd" and every ".ht*" (its configuration denies
// them all), IIS's "web.config", PHP's ".user.ini"; letter case ignored, as case-blind disks
// serve them all the same. The publisher never writes an entry file of such a name.
bool isServerControlName(const QString &name);

// The names of `listed` for which `isPresent` (the main list's test, ignoring letter case) is
// false, in list order (duplicates kept: each counts).
QStringList newNames(const QStringList &listed, const std::function<bool(const QString &)> &isPresent);

// Folders and files of a catalogue update and of the version check in the program folder.
QString tempFolder();     // tmp
QString tempBaseFolder(); // tmp/base
QString tempListFile();   // tmp/list.txt
QString tempPartFolder(); // tmp/.part: unfinished downloads, apart from the entry files
QString versionFile();    // ProgVer.ini

// A program update goes to the folder of the executable, whatever ZORVANELL_HOME says, and so do
// the trusted keys: the user's data folder never decides what code runs.
QString installFolder();
// Tests point the install folder at a folder of their own; an empty text goes back to the executable's.
void setInstallFolder(const QString &folder);
QString archiveFile();       // update.rar
QString signatureFile();     // update.rar.minisig
QString installScript();     // instupd.cmd
QString installStatusFile(); // instupd.status: what the script did, for the next start to report
QString installLogFile();    // instupd.log
// The install script's staging folder, which is also its journal: while it exists an install has
// not ended. The script holds a lock on installLockFile() while it runs.
QString installJournal();    // .instupd-work
QString installLockFile();   // .instupd-lock
QString trustedKeysFolder(); // keys

// Deletes what one catalogue update put into tmp: tmp/list.txt and the entry files `entries` of
// tmp/base, then tmp/base, tmp/.part and tmp where nothing else is left in them. Files that others
// put there stay. A link in place of one of the folders is removed as a link, never followed.
// Never fails: whatever cannot be removed stays.
void removeTempFiles(const QStringList &entries);

} // namespace zv::update
