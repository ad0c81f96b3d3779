// The main window with Qt's own file and print dialogs, typed into and accepted as a user would:
// what the scripted seam stands in for elsewhere.
#include "MainWindowFixture.h"
#include "TestFiles.h"
#include "core/TextCodec.h"
#include "core/export/TextExport.h"
#include "gui/QtSeam.h"
#include "gui/controls/VistaButton.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPrintDialog>
#include <QProcess>
#include <QSpinBox>
#include <QTimer>

namespace {

using zvtest::readFile;
using zvtest::writeFile;

// Qt's file and print dialogs; message boxes of the program, starts and exits stay scripted.
class RealDialogs : public zvtest::ScriptedSeam
{
public:
    std::optional<QString> openFileDialog(QWidget *owner, const zv::FileDialogRequest &request) override
    {
        return m_qt.openFileDialog(owner, request);
    }
    std::optional<QString> saveFileDialog(QWidget *owner, const zv::FileDialogRequest &request) override
    {
        return m_qt.saveFileDialog(owner, request);
    }
    bool printDialog(QWidget *owner, QPrinter *printer, const zv::PrintDialogRequest &request) override
    {
        return m_qt.printDialog(owner, printer, request);
    }

private:
    zv::QtSeam m_qt;
};

// Looks for each modal window that opens and hands it to `fillIn`, which types into it and
// says whether it is then accepted (as by its OK button) or cancelled. Qt's own message boxes
// are recorded and answered Yes instead. The answer is given once `fillIn` has returned, so a
// window the answer opens in turn is seen too.
class User
{
public:
    explicit User(std::function<bool(QWidget *)> fillIn)
        : m_fillIn(std::move(fillIn))
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { look(); });
        m_timer.start(10);
    }

    QStringList questions;
    int dialogs = 0;

private:
    void look()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || m_seen.contains(modal))
            return;
        m_seen << modal;
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            questions << box->text();
            QAbstractButton *yes = box->button(QMessageBox::Yes);
            QMetaObject::invokeMethod(
                box, [box, yes] { yes ? yes->click() : box->accept(); }, Qt::QueuedConnection);
            return;
        }
        ++dialogs;
        auto *dialog = qobject_cast<QDialog *>(modal);
        const bool accept = m_fillIn(modal);
        QMetaObject::invokeMethod(
            dialog, [dialog, accept] { accept ? dialog->accept() : dialog->reject(); }, Qt::QueuedConnection);
    }

    std::function<bool(QWidget *)> m_fillIn;
    QTimer m_timer;
    QList<QPointer<QWidget>> m_seen;
};

template <typename T> T *part(QWidget *dialog, const char *name)
{
    T *found = dialog->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("%s has no %s", dialog->metaObject()->className(), name);
    return found;
}

// Clicked into, emptied and typed into; a file dialog follows what the focused box holds.
void typeInto(QLineEdit *edit, const QString &text)
{
    QApplication::setActiveWindow(edit->window());
    QTest::mouseClick(edit, Qt::LeftButton);
    QVERIFY(edit->hasFocus());
    edit->selectAll();
    edit->del();
    QTest::keyClicks(edit, text);
}

int pdfPages(const QString &pdf)
{
    QProcess process;
    process.start(QStringLiteral("pdfinfo"), {pdf});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return -1;
    for (const QString &line : QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("Pages:")))
            return line.mid(6).trimmed().toInt();
    }
    return -1;
}

} // namespace

class TestQtDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The desktop's own dialogs cannot be typed into from here.
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    }

    // The name typed is "Doom.txt"; the file written is Doom.txt.txt, replaced without a
    // question. Qt must not ask about Doom.txt, which is left alone.
    void saveAsksNothingAndLeavesTheTypedFileAlone()
    {
        MainWindowFixture f;
        RealDialogs seam;
        f.add(QStringLiteral("Programs"), QStringLiteral("Doom"), QStringLiteral("IDDQD"));
        const QString folder = f.home.file(QStringLiteral("exports"));
        writeFile(folder + QStringLiteral("/Doom.txt"), "kept");
        writeFile(folder + QStringLiteral("/Doom.txt.txt"), "replaced");
        auto w = f.openMain();
        f.search(*w)->setText(QStringLiteral("Doom"));

        QString proposed;
        {
            User user([&](QWidget *dialog) {
                auto *name = part<QLineEdit>(dialog, "fileNameEdit");
                proposed = name->text();
                // Gone to the folder, the user types the name of the file there.
                qobject_cast<QFileDialog *>(dialog)->setDirectory(folder);
                typeInto(name, QStringLiteral("Doom.txt"));
                return true;
            });
            w->findChild<QAction *>(QStringLiteral("mnuSaveItem"))->trigger();
            QCOMPARE(user.dialogs, 1);
            QCOMPARE(user.questions, QStringList{});
        }
        QCOMPARE(proposed, QStringLiteral("Doom"));
        QCOMPARE(readFile(folder + QStringLiteral("/Doom.txt")), QByteArray("kept"));
        QCOMPARE(readFile(folder + QStringLiteral("/Doom.txt.txt")),
                 "Doom\r\nIDDQD\r\n\r\n" + zv::toCp1251(zv::exporting::signatureLine()) + "\r\n");

        // The open dialog for a screenshot comes next: it proposes no name the save left.
        User user([&](QWidget *dialog) {
            proposed = part<QLineEdit>(dialog, "fileNameEdit")->text();
            return false;
        });
        w->findChild<QAction *>(QStringLiteral("mnuAddScreenShot"))->trigger();
        QCOMPARE(user.dialogs, 1);
        QCOMPARE(proposed, QString());
        QVERIFY(seam.messages.isEmpty());
    }

    // A one-page entry printed into a PDF file: the dialog offers page 1 only, and the copies
    // typed into it are in the file.
    void printDialogOffersTheEntrysPagesAndItsCopiesArePrinted()
    {
        MainWindowFixture f;
        RealDialogs seam;
        f.add(QStringLiteral("Programs"), QStringLiteral("Word"), QStringLiteral("pinball"));
        auto w = f.openMain();
        f.search(*w)->setText(QStringLiteral("Word"));
        const QString pdf = f.home.file(QStringLiteral("word.pdf"));
        int lastFrom = -1;
        int lastTo = -1;
        User user([&](QWidget *dialog) {
            auto *printers = part<QComboBox>(dialog, "printers");
            // The last entry is the PDF file, also where the machine has printers.
            printers->setCurrentIndex(printers->count() - 1);
            typeInto(part<QLineEdit>(dialog, "filename"), pdf);
            auto *copies = part<QSpinBox>(dialog, "copies");
            copies->selectAll();
            QTest::keyClicks(copies, QStringLiteral("3"));
            lastFrom = part<QSpinBox>(dialog, "from")->maximum();
            lastTo = part<QSpinBox>(dialog, "to")->maximum();
            return true;
        });
        emit static_cast<VistaButton *>(f.control(*w, "Print_cmd"))->Click();
        QCOMPARE(user.dialogs, 1);
        QVERIFY(seam.messages.isEmpty());
        QCOMPARE(pdfPages(pdf), 3);
        QCOMPARE(lastFrom, 1);
        QCOMPARE(lastTo, 1);
    }
};

QTEST_MAIN(TestQtDialogs)
#include "tst_qt_dialogs.moc"
