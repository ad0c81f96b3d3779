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
// The project's forum, and the two topics where new and corrected entries are sent in.
inline const QString kForum = kProjectSite + QStringLiteral("forum/");
inline const QString kForumNewEggTopic = kForum + QStringLiteral("post.php?action=reply&forum=17&topic=13");
inline const QString kForumCorrectionTopic = kForum + QStringLiteral("post.php?action=reply&forum=17&topic=15");
// The authors' mailbox, opened from the about window.
inline const QString kAuthorsMail = QStringLiteral("authors@zorvanell.example.org");

} // namespace zv::addresses
