#pragma once

#include "ScriptedSeam.h"
#include "TempHome.h"
#include "core/SharedState.h"
#include "core/session/CatalogueSession.h"
#include "core/store/CatalogueStore.h"
#include "gui/catalogue/frmMain.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QTest>

#include <memory>
#include <sqlite3.h>

// A program folder with a catalogue, a scripted seam and helpers to build the main window.
struct MainWindowFixture
{
    zvtest::TempHome home;
    zvtest::ScriptedSeam seam;
    zv::CatalogueConnection db;
    // What the windows share, as the program makes it at start.
    std::unique_ptr<zv::CatalogueSession> session;

    MainWindowFixture()
    {
        zv::initVersionValues();
        CreateCatalogue(home.file(QStringLiteral("Zorvanell.dat")));
        db = OpenCatalogue(home.file(QStringLiteral("Zorvanell.dat")));
        session = std::make_unique<zv::CatalogueSession>(home.file(QStringLiteral("Zorvanell.dat")));
    }

    void add(const QString &table, const QString &name, const QString &text) { AddEntry(db, table, name, text); }

    std::unique_ptr<frmMain> openMain()
    {
        auto window = std::make_unique<frmMain>(*session);
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->show();
        return window;
    }

    static QListView *list(frmMain &w) { return w.findChild<QListView *>(QStringLiteral("List1")); }
    static QLineEdit *search(frmMain &w) { return w.findChild<QLineEdit *>(QStringLiteral("txtSearch")); }
    static QPlainTextEdit *text(frmMain &w) { return w.findChild<QPlainTextEdit *>(QStringLiteral("txtText")); }
    static QLabel *label(frmMain &w, const char *name) { return w.findChild<QLabel *>(QString::fromLatin1(name)); }
    static QWidget *control(frmMain &w, const char *name) { return w.findChild<QWidget *>(QString::fromLatin1(name)); }
};
