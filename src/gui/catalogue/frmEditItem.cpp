#include "gui/catalogue/frmEditItem.h"

#include "core/Addresses.h"
#include "core/Seam.h"
#include "core/session/CatalogueSession.h"
#include "gui/APIandFunc.h"
#include "gui/IconMdl.h"
#include "gui/PlainLabel.h"
#include "gui/WindowGeometry.h"
#include "gui/catalogue/EditorWindow.h"
#include "gui/controls/VistaButton.h"
#include "gui/controls/WindowParts.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

using zv::placed;

frmEditItem::frmEditItem(QWidget *owner, zv::CatalogueSession &session)
    : QDialog(owner)
    , LanguageAware(Window::EditItem)
    , m_session(session)
    , m_selected(session.selectedName())
    , m_selectedRowId(session.selectedRowId())
    , m_loaded(session.CurrentRecord().ref)
{
    setObjectName(QStringLiteral("frmEditItem"));
    zv::setUpEditorWindow(this, QStringLiteral("Редактирование записи"), 5595, 5625);

    Label1 = placed(zv::plainLabel(QStringLiteral("Название:"), this), QStringLiteral("Label1"), 120, 0, 3375, 255);
    txtName = placed(new QLineEdit(this), QStringLiteral("txtName"), 120, 240, 3735, 285);
    Check1 = placed(new QCheckBox(QStringLiteral("Отправить изменение на сайт"), this), QStringLiteral("Check1"), 120,
                    600, 2655, 375);
    txtText = zv::entryTextBox(this, 120, 1080, 5295, 4455);
    VistaButton2 =
        zv::styledButton(this, QStringLiteral("VistaButton2"), QStringLiteral("Отмена"), 4080, 120, 1335, 375);
    VistaButton1 =
        zv::styledButton(this, QStringLiteral("VistaButton1"), QStringLiteral("Сохранить"), 4080, 600, 1335, 375);
    zv::addEmblem(this, 3000, 480);
    Label1->setBuddy(txtName);
    txtText->setAccessibleName(QStringLiteral("Текст записи"));

    setTabOrder(txtName, txtText);
    setTabOrder(txtText, VistaButton1);
    setTabOrder(VistaButton1, VistaButton2);
    setTabOrder(VistaButton2, Check1);

    connect(VistaButton1, &VistaButton::Click, this, &frmEditItem::VistaButton1_Click);
    connect(VistaButton2, &VistaButton::Click, this, &QDialog::reject);

    SetWindowIcon(this, QStringLiteral("AAA"), true);
    GetSettingEdit();
    ApplyLanguage();
}

void frmEditItem::GetSettingEdit()
{
    ApplyWindowSettings(this);
}

void frmEditItem::VistaButton1_Click()
{
    const QString name = txtName->text();
    const QString text = txtText->toPlainText();
    if (zv::refuseEmptyFields(this, name, text))
        return;
    // The record changed is the one selected when the window opened, whatever other records share its name.
    const QString &selected = m_selected;
    try {
        m_session.editEntry(m_selectedRowId, selected, m_loaded, name, text);
    } catch (const zv::CatalogueError &error) {
        if (error.kind() == zv::CatalogueError::Kind::NameTaken) {
            zv::showMessage(this, error.message(), zv::MessageForm::OkExclamation);
            return;
        }
        if (error.kind() == zv::CatalogueError::Kind::TextChanged) {
            if (zv::askKeepOwnText(this, selected)) {
                // Saved again over the text stored now.
                m_loaded = error.storedText();
                VistaButton1_Click();
            } else {
                // The stored text stays; the list shows it again.
                m_session.selectAgain();
                reject();
            }
            return;
        }
        if (error.kind() == zv::CatalogueError::Kind::RecordGone) {
            // The window stays open with what was typed, so nothing of it is lost.
            m_session.LoadDB();
            zv::reportRecordGone(this, selected);
            return;
        }
        zv::showMessage(
            this, QStringLiteral("Не удалось сохранить запись ") + selected + QStringLiteral(".\n") + error.message(),
            zv::MessageForm::OkExclamation);
        return;
    }
    if (Check1->isChecked())
        OpenWithShell(zv::addresses::kForumCorrectionTopic, 2, this);
    accept();
}

QList<LanguageAware::Caption> frmEditItem::languageCaptions()
{
    return {
        {QStringLiteral("Caption_EditItem"), [this](const QString &t) { setWindowTitle(t); }},
        {QStringLiteral("EditItem_Name"), [this](const QString &t) { Label1->setText(t); }},
        {QStringLiteral("EditItem_Save"), [this](const QString &t) { VistaButton1->setCaption(t); }},
        {QStringLiteral("EditItem_Cancel"), [this](const QString &t) { VistaButton2->setCaption(t); }},
    };
}
