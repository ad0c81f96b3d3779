#include "gui/catalogue/frmAddNewField.h"

#include "core/Addresses.h"
#include "core/Seam.h"
#include "core/session/CatalogueSession.h"
#include "gui/APIandFunc.h"
#include "gui/IconMdl.h"
#include "gui/PlainLabel.h"
#include "gui/WindowGeometry.h"
#include "gui/catalogue/EditorWindow.h"
#include "gui/catalogue/WindowParts.h"
#include "gui/controls/VistaButton.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

using zv::placed;

frmAddNewField::frmAddNewField(QWidget *owner, zv::CatalogueSession &session)
    : QDialog(owner)
    , LanguageAware(Window::AddNewField)
    , m_session(session)
{
    setObjectName(QStringLiteral("frmAddNewField"));
    zv::setUpEditorWindow(this, QStringLiteral("Добавление новой записи"), 5565, 5400);

    Label1 = placed(zv::plainLabel(QStringLiteral("Имя:"), this), QStringLiteral("Label1"), 120, 0, 3375, 255);
    Text1 = placed(new QLineEdit(this), QStringLiteral("Text1"), 120, 240, 3855, 285);
    Label2 = placed(zv::plainLabel(QStringLiteral("Данные:"), this), QStringLiteral("Label2"), 120, 720, 3495, 255);
    Check1 =
        placed(new QCheckBox(QStringLiteral("Отправить на сайт"), this), QStringLiteral("Check1"), 960, 640, 1815, 375);
    txtText = zv::entryTextBox(this, 120, 1080, 5295, 4215);
    cmdCancel = zv::styledButton(this, QStringLiteral("cmdCancel"), QStringLiteral("Отмена"), 4200, 120, 1215, 375);
    cmdAdd = zv::styledButton(this, QStringLiteral("cmdAdd"), QStringLiteral("Добавить"), 4200, 600, 1215, 375);
    zv::addEmblem(this, 3120, 480);

    setTabOrder(Text1, txtText);
    setTabOrder(txtText, cmdAdd);
    setTabOrder(cmdAdd, cmdCancel);
    setTabOrder(cmdCancel, Check1);

    connect(cmdAdd, &VistaButton::Click, this, &frmAddNewField::cmdAdd_Click);
    connect(cmdCancel, &VistaButton::Click, this, &QDialog::reject);

    SetWindowIcon(this, QStringLiteral("AAA"), true);
    GetSettingAddNew();
    ApplyLanguage();
}

void frmAddNewField::GetSettingAddNew()
{
    ApplyWindowSettings(this);
}

void frmAddNewField::cmdAdd_Click()
{
    const QString name = Text1->text();
    const QString text = txtText->toPlainText();
    if (zv::refuseEmptyFields(this, name, text))
        return;
    if (m_session.containsName(name)) {
        zv::showMessage(this, QStringLiteral("Такая запись уже существует!"), zv::MessageForm::OkExclamation);
        return;
    }
    try {
        m_session.addEntry(name, text);
    } catch (const zv::CatalogueError &error) {
        zv::showMessage(this, QStringLiteral("Не удалось добавить запись.\n") + error.message(),
                        zv::MessageForm::OkExclamation);
        return;
    }
    Text1->clear();
    txtText->clear();
    Text1->setFocus();
    if (Check1->isChecked())
        OpenWithShell(zv::addresses::kForumNewEggTopic, 2, this);
}

QList<LanguageAware::Caption> frmAddNewField::languageCaptions()
{
    return {
        {QStringLiteral("Caption_AddNewField"), [this](const QString &t) { setWindowTitle(t); }},
        {QStringLiteral("AddNewField_Name"), [this](const QString &t) { Label1->setText(t); }},
        {QStringLiteral("AddNewField_Data"), [this](const QString &t) { Label2->setText(t); }},
        {QStringLiteral("AddNewField_Add"), [this](const QString &t) { cmdAdd->setCaption(t); }},
        {QStringLiteral("AddNewField_Cancel"), [this](const QString &t) { cmdCancel->setCaption(t); }},
    };
}
