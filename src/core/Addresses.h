#pragma once

#include <QString>

// The addresses the program knows, kept in one place.
namespace zv::addresses {

// The project's web site (host root, with the trailing slash the update paths expect).
inline const QString kProjectSite = QStringLiteral("http://zorvanell.example.org/");
// The partner portal: its domain is also a hidden search-box word.
inline const QString kPartnerDomain = QStringLiteral("pasxalki.example.net");
inline const QString kPartnerPortal = QStringLiteral("http://") + kPartnerDomain + QStringLiteral("/");
// A mirror of the update files on the makers' second site.
inline const QString kMirror = QStringLiteral("http://mirror.zorvanell.example.com/");
// The page behind the "Секреты Google Earth" title of the main window.
inline const QString kGoogleEarthPage = QStringLiteral("http://zorvanell.example.org/redir/google_earth.php");
// The forum pages the entry editor offers after a save.
inline const QString kForum = QStringLiteral("http://zorvanell.example.org/forum/");

} // namespace zv::addresses
