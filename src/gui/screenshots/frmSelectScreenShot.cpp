#include "gui/screenshots/frmSelectScreenShot.h"

#include "core/Seam.h"
#include "core/screenshots/ScreenshotStore.h"
#include "core/session/CatalogueSession.h"
#include "gui/IconMdl.h"
#include "gui/WindowGeometry.h"
#include "gui/catalogue/WindowParts.h"
#include "gui/controls/VistaButton.h"
#include "gui/screenshots/frmScreen.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QScreen>

using zv::placed;

frmSelectScreenShot::frmSelectScreenShot(QWidget *owner, zv::CatalogueSession &session)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , LanguageAware(Window::SelectScreenShot)
    , m_session(session)
{
    setObjectName(QStringLiteral("frmSelectScreenShot"));
    setWindowTitle(QStringLiteral("Выберите скриншот"));
    zv::setWindowBackground(this);
    setFixedSize(zv::twips(3495), zv::twips(5625));

    Label1 = placed(new QLabel(QStringLiteral("Пожалуйста выберите нужный скриншот."), this), QStringLiteral("Label1"),
                    120, 120, 3255, 255);
    Label1->setTextFormat(Qt::PlainText);
    File1 = placed(new QListWidget(this), QStringLiteral("File1"), 120, 480, 3255, 4575);
    File1->setSelectionMode(QAbstractItemView::SingleSelection);
    VistaButton1 =
        zv::styledButton(this, QStringLiteral("VistaButton1"), QStringLiteral("Просмотр"), 120, 5160, 1095, 375);
    VistaButton2 =
        zv::styledButton(this, QStringLiteral("VistaButton2"), QStringLiteral("Удалить"), 1320, 5160, 1095, 375);
    VistaButton3 =
        zv::styledButton(this, QStringLiteral("VistaButton3"), QStringLiteral("Закрыть"), 2520, 5160, 855, 375);

    connect(VistaButton1, &VistaButton::Click, this, &frmSelectScreenShot::VistaButton1_Click);
    connect(VistaButton2, &VistaButton::Click, this, &frmSelectScreenShot::VistaButton2_Click);
    connect(VistaButton3, &VistaButton::Click, this, &QDialog::reject);
    connect(File1, &QListWidget::itemDoubleClicked, this, &frmSelectScreenShot::VistaButton1_Click);
    File1->installEventFilter(this);

    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());

    SetWindowIcon(this, QStringLiteral("AAA"), true);
    fillList();
    ApplyLanguage();
}

void frmSelectScreenShot::fillList()
{
    File1->clear();
    File1->addItems(zv::screenshots::picturesOf(zv::screenshots::folder(), m_session.CurrentEntry()));
    File1->setCurrentRow(-1);
}

QStringList frmSelectScreenShot::pictures() const
{
    QStringList names;
    for (int i = 0; i < File1->count(); ++i)
        names << File1->item(i)->text();
    return names;
}

int frmSelectScreenShot::selectedRow() const
{
    const QList<QListWidgetItem *> selected = File1->selectedItems();
    return selected.isEmpty() ? -1 : File1->row(selected.constFirst());
}

void frmSelectScreenShot::VistaButton1_Click()
{
    const int row = selectedRow();
    m_session.chooseScreenshot(
        zv::screenshots::folder() + QLatin1Char('/') + (row >= 0 ? File1->item(row)->text() : QString()), true);
    if (row < 0)
        return;
    frmScreen viewer(this, m_session.CurrentEntry(), m_session.ScreenShotPath(), m_session.SeveralScreenShots(),
                     pictures(), row);
    if (viewer.isLoaded())
        viewer.exec();
}

void frmSelectScreenShot::VistaButton2_Click()
{
    const int row = selectedRow();
    if (row < 0) {
        zv::showMessage(this, QStringLiteral("Пожалуйста выберите что нужно удалить!"), zv::MessageForm::OkExclamation);
        return;
    }
    if (zv::showMessage(this, QStringLiteral("Вы действительно хотите удалить этот скриншот?"),
                        zv::MessageForm::YesNoQuestion) != zv::MessageAnswer::Yes)
        return;
    const QString failure = zv::screenshots::remove(zv::screenshots::folder(), File1->item(row)->text());
    if (!failure.isEmpty())
        zv::showMessage(this, failure, zv::MessageForm::OkExclamation);
    fillList();
}

bool frmSelectScreenShot::eventFilter(QObject *watched, QEvent *event)
{
    // Any character key in the list views the selected picture: Enter, Space, Backspace and Escape too.
    if (watched == File1 && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (!key->text().isEmpty() && key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab) {
            VistaButton1_Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

QList<LanguageAware::Caption> frmSelectScreenShot::languageCaptions()
{
    return {
        {QStringLiteral("Caption_frmSelectScreenShot"), [this](const QString &t) { setWindowTitle(t); }},
        {QStringLiteral("frmSelectScreenShot_ChooseSCR"), [this](const QString &t) { Label1->setText(t); }},
        {QStringLiteral("frmSelectScreenShot_Show"), [this](const QString &t) { VistaButton1->setCaption(t); }},
        {QStringLiteral("frmSelectScreenShot_Delete"), [this](const QString &t) { VistaButton2->setCaption(t); }},
    };
}
