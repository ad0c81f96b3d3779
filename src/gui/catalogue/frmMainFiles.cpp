// The main window's files: saving an entry or the list as text, printing an entry, adding
// and viewing an entry's screenshots, and the entry file that proposes an entry to the publisher.
#include "core/Seam.h"
#include "core/entryfile/EntrySending.h"
#include "core/export/TextExport.h"
#include "core/screenshots/ScreenshotNames.h"
#include "core/screenshots/ScreenshotStore.h"
#include "gui/catalogue/EntryPrinter.h"
#include "gui/catalogue/frmMain.h"
#include "gui/controls/VistaButton.h"
#include "gui/controls/clsCommonDialog.h"
#include "gui/screenshots/PictureReader.h"
#include "gui/screenshots/frmScreen.h"
#include "gui/screenshots/frmSelectScreenShot.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPrinterInfo>

namespace {

const QString kTextFilter = QStringLiteral("Текстовый файл *.txt|*.txt|");
const QString kPictureFilter = QStringLiteral("Изображения *.jpg *.gif *.bmp|*.jpg;*.gif;*.bmp|");

// The long-known choice first, then one per kind of picture an entry may have, so that none of
// them is hidden from the dialog.
QString pictureFilter()
{
    QString filter = kPictureFilter;
    for (const zv::screenshots::PictureKind &kind : zv::screenshots::pictureKinds()) {
        QStringList patterns;
        for (const QString &extension : kind.extensions)
            patterns << QStringLiteral("*.") + extension;
        filter += kind.name + QLatin1Char(' ') + patterns.join(QLatin1Char(' ')) + QLatin1Char('|') +
                  patterns.join(QLatin1Char(';')) + QLatin1Char('|');
    }
    return filter;
}

// The kinds by name as a sentence lists them: "JPEG, GIF, ... или WebP".
QString pictureKindNames()
{
    QStringList names;
    for (const zv::screenshots::PictureKind &kind : zv::screenshots::pictureKinds())
        names << kind.name;
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" или ") + last;
}

// The shared dialog set up for saving; false when the user cancelled.
bool askSavePath(QWidget *owner, const QString &proposed, const QString &title, QString &path)
{
    clsCommonDialog &dialog = clsCommonDialog::instance();
    dialog.setHWnd(owner);
    dialog.setFileName(zv::exporting::proposedFileName(proposed));
    dialog.setFilter(kTextFilter);
    dialog.setDialogTitle(title);
    // A path here may be as long as the system allows, not the 255 characters of old.
    dialog.setMaxFileSize(4096);
    dialog.ShowSave();
    if (dialog.APIReturn() == 0)
        return false;
    // The extension is always added, so "Doom.txt" typed gives Doom.txt.txt.
    path = dialog.FileName() + QStringLiteral(".txt");
    return true;
}

void saveText(QWidget *owner, const QString &path, const QString &text)
{
    const QString failure = zv::exporting::writeFile(path, zv::exporting::encode(text));
    if (!failure.isEmpty())
        zv::showMessage(owner, failure, zv::MessageForm::OkExclamation);
}

} // namespace

QString frmMain::selectedEntryText() const
{
    // Filling the box (an entry, the welcome text, a report, emptying it) leaves it unmodified.
    if (txtText->document()->isModified())
        return txtText->toPlainText();
    return m_session.CurrentRecord().ref;
}

void frmMain::mnuSaveItem_Click()
{
    if (selectedRow() < 0)
        return;
    const QString name = selectedName();
    QString path;
    if (!askSavePath(this, name, QStringLiteral("Сохранение пасхалки"), path))
        return;
    saveText(this, path, zv::exporting::entryFileText(name, selectedEntryText()));
}

void frmMain::mnuSaveList_Click()
{
    QString path;
    if (!askSavePath(this, Combo1->currentText(), QStringLiteral("Сохранение списка"), path))
        return;
    saveText(this, path, zv::exporting::listFileText(listNames()));
}

void frmMain::mnuSuggest_Click()
{
    if (selectedRow() < 0 || !selectedRecordPresent())
        return;
    const QString name = selectedName();
    zv::FileDialogRequest request;
    request.title = QStringLiteral("Предложить запись");
    request.initialName = zv::exporting::proposedFileName(name) + QStringLiteral(".zvegg");
    request.filters = {{QStringLiteral("Файл записи Zorvanell"), {QStringLiteral("*.zvegg")}}};
    request.defaultSuffix = QStringLiteral("zvegg");
    request.confirmOverwrite = true;
    const std::optional<QString> path = zv::seam().saveFileDialog(this, request);
    if (!path)
        return;
    QStringList leftOut;
    QString failure;
    try {
        const zv::entryfile::Entry entry = zv::entryfile::entryToSend(
            m_session.readingConnection(), zv::screenshots::folder(), m_session.CurrentTable(),
            m_session.selectedRowId(), name, selectedEntryText(), &leftOut);
        failure = zv::entryfile::writeEntryFile(*path, entry);
    } catch (const zv::CatalogueError &error) {
        failure = error.message();
    }
    if (!failure.isEmpty()) {
        zv::showMessage(this, failure, zv::MessageForm::OkExclamation);
        return;
    }
    QString done = QStringLiteral("Запись ") + name + QStringLiteral(" сохранена в файл ") + *path +
                   QStringLiteral(".\nОтправьте его тому, кто ведёт сервер обновлений: он добавит запись в каталог.");
    if (!leftOut.isEmpty())
        done += QStringLiteral("\nНе вошли файлы, которые не являются картинками или слишком велики: ") +
                leftOut.join(QStringLiteral(", ")) + QLatin1Char('.');
    zv::showMessage(this, done, zv::MessageForm::OkInformation);
}

void frmMain::Print_cmd_Click()
{
    if (selectedRow() < 0)
        return;
    const QString name = selectedName();
    const QString text = selectedEntryText();
    clsCommonDialog &dialog = clsCommonDialog::instance();
    // Owned by this window, so that the dialog stays in front of it when it is on top.
    dialog.setHWnd(this);
    // Every print starts with the whole entry and one copy, whatever the dialog before chose,
    // and offers no page past the entry's end.
    dialog.setFromPage(0);
    dialog.setToPage(0);
    dialog.setCopies(1);
    dialog.setMin(1);
    dialog.setMax(zv::entryPageCount(dialog.printer(), name, text));
    dialog.ShowPrinter();
    if (dialog.APIReturn() == 0)
        return;
    QPrinter *printer = dialog.printer();
    // Without a printer Qt can only print into a PDF file, and the user chose none.
    if (printer->outputFileName().isEmpty() && QPrinterInfo::availablePrinters().isEmpty()) {
        zv::showMessage(this,
                        QStringLiteral("Принтер не найден. Установите принтер или выберите в окне печати "
                                       "печать в файл PDF."),
                        zv::MessageForm::OkExclamation);
        return;
    }
    switch (zv::printEntry(printer, name, text)) {
    case zv::PrintOutcome::Printed:
        break;
    case zv::PrintOutcome::NoPageChosen:
        // The paper chosen in the dialog may have made the entry shorter than the range.
        zv::showMessage(
            this,
            QStringLiteral("Выбранных страниц в записи ") + name + QStringLiteral(" нет: в ней страниц всего ") +
                QString::number(zv::entryPageCount(printer, name, text)) + QStringLiteral(". Ничего не напечатано."),
            zv::MessageForm::OkExclamation);
        break;
    case zv::PrintOutcome::Failed:
        zv::showMessage(this, QStringLiteral("Не удалось напечатать запись ") + name + QLatin1Char('.'),
                        zv::MessageForm::OkExclamation);
        break;
    }
}

void frmMain::cmdViewScreen_Click()
{
    if (selectedRow() < 0)
        return;
    const QString name = selectedName();
    const QString folder = zv::screenshots::folder();
    const QStringList pictures = zv::screenshots::picturesOf(folder, name);
    if (pictures.isEmpty()) {
        // They were deleted since the entry was selected.
        cmdViewScreen->setEnabled(false);
        mnuScrShot->setEnabled(false);
        zv::showMessage(this, QStringLiteral("У записи ") + name + QStringLiteral(" больше нет скриншотов."),
                        zv::MessageForm::OkInformation);
        return;
    }
    if (pictures.size() < 2) {
        m_session.chooseScreenshot(folder + QLatin1Char('/') + pictures.constFirst(), false);
        frmScreen viewer(this, m_session.CurrentEntry(), m_session.ScreenShotPath(), m_session.SeveralScreenShots());
        if (viewer.isLoaded())
            viewer.exec();
    } else {
        m_session.chooseScreenshot(m_session.ScreenShotPath(), true);
        frmSelectScreenShot picker(this, m_session);
        picker.exec();
    }
}

void frmMain::mnuAddScreenShot_Click()
{
    if (selectedRow() < 0)
        return;
    const QString name = selectedName();
    clsCommonDialog &dialog = clsCommonDialog::instance();
    dialog.setDialogTitle(QStringLiteral("Добавление скриншота для записи ") + name);
    dialog.setFilter(pictureFilter());
    dialog.setHWnd(this);
    // Nothing proposed: the name a save left behind is a text file, not a picture.
    dialog.setFileName(QString());
    dialog.setMaxFileSize(4096);
    dialog.ShowOpen();
    if (dialog.APIReturn() == 0)
        return;
    const QString source = dialog.FileName();
    QFile file(source);
    if (!QFileInfo(source).isFile() || !file.open(QIODevice::ReadOnly)) {
        zv::showMessage(this, QStringLiteral("Файл ") + source + QStringLiteral(" не найден."),
                        zv::MessageForm::OkExclamation);
        return;
    }
    const QByteArray head = file.read(16);
    file.close();
    // Only what the viewer can show, whatever the file's name says; a small decode is enough to tell.
    const QString extension = zv::screenshots::extensionFor(source, head);
    if (extension.isEmpty() || zv::readPicture(source, QSize(64, 64)).isNull()) {
        zv::showMessage(this,
                        QStringLiteral("Файл ") + QFileInfo(source).fileName() +
                            QStringLiteral(" не похож на изображение: выберите картинку ") + pictureKindNames() +
                            QLatin1Char('.'),
                        zv::MessageForm::OkExclamation);
        return;
    }
    const QString folder = zv::screenshots::folder();
    QString target = zv::screenshots::firstPictureName(name, extension);
    if (!zv::screenshots::existingName(folder, target).isEmpty()) {
        const std::optional<QString> word = zv::seam().inputBox(
            this, QStringLiteral("Пожалуйста введите префикс скриншота"), zv::applicationTitle, QString());
        if (!word || word->isEmpty())
            return;
        target = zv::screenshots::furtherPictureName(name, *word, extension);
        // "Doom_2.jpg" may as well be the first picture of the entry "Doom_2".
        if (QFileInfo::exists(folder + QLatin1Char('/') + target) &&
            zv::showMessage(this,
                            QStringLiteral("Файл ") + target +
                                QStringLiteral(" уже есть в папке скриншотов, и это может быть скриншот другой "
                                               "записи. Заменить его?"),
                            zv::MessageForm::YesNoQuestion) != zv::MessageAnswer::Yes)
            return;
    }
    const QString failure = m_session.attachPicture(source, target);
    if (!failure.isEmpty()) {
        zv::showMessage(this, failure, zv::MessageForm::OkExclamation);
        return;
    }
    // The entry step again enables the view now that it has a picture.
    m_session.selectAgain();
}
