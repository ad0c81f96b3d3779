#include "gui/catalogue/frmMain.h"

#include "core/Addresses.h"
#include "core/INI.h"
#include "core/ProgramFolder.h"
#include "core/Seam.h"
#include "core/Settings.h"
#include "core/SharedState.h"
#include "core/store/Category.h"
#include "core/store/NameListModel.h"
#include "gui/APIandFunc.h"
#include "gui/IconMdl.h"
#include "gui/PlainLabel.h"
#include "gui/WindowGeometry.h"
#include "gui/backup/frmBackups.h"
#include "gui/catalogue/NameDelegate.h"
#include "gui/controls/CachedScrollBar.h"
#include "gui/controls/VistaButton.h"
#include "gui/controls/WindowParts.h"
#include "gui/interchange/frmExport.h"
#include "gui/interchange/frmImport.h"
#include "gui/search/frmSearch.h"
#include "gui/windows/frmAbout.h"
#include "gui/windows/frmOptions.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>

#include <utility>

using zv::placeTwips;
using zv::twips;

namespace {

// Client sizes of the two layouts; the window is 75 twips wider outside its client area.
constexpr int kFullClientWidth = 12375;
constexpr int kCompactClientWidth = 10905 - 75;
constexpr int kClientHeight = 7905;

} // namespace

frmMain::frmMain(zv::CatalogueSession &session, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint)
    , LanguageAware(Window::Main)
    , m_session(session)
{
    setObjectName(QStringLiteral("frmMain"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Zorvanell 5"));
    zv::setWindowBackground(this, zv::TextBoxBackground::Window);
    createControls();
    createListMenu();
    // Window keys are seen before the controls that have the focus.
    qApp->installEventFilter(this);
    Form_Load();
}

frmMain::~frmMain()
{
    qApp->removeEventFilter(this);
}

void frmMain::createControls()
{
    Frame2 = new QWidget(this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    placeTwips(Frame2, 120, 120, 1455, 7815);

    Label3 = zv::plainLabel(QStringLiteral("Поисковая строка:"), Frame2);
    Label3->setObjectName(QStringLiteral("Label3"));
    placeTwips(Label3, 0, 0, 1575, 255);

    Print_cmd = zv::styledButton(Frame2, QStringLiteral("Print_cmd"), QStringLiteral("Печать"), 0, 320, 1455, 375);
    Print_cmd->setEnabled(false);
    cmdViewScreen =
        zv::styledButton(Frame2, QStringLiteral("cmdViewScreen"), QStringLiteral("Скриншот"), 0, 800, 1455, 375);
    cmdViewScreen->setEnabled(false);
    cmdAddItem =
        zv::styledButton(Frame2, QStringLiteral("cmdAddItem"), QStringLiteral("Добавить запись"), 0, 1280, 1455, 375);
    EditButton =
        zv::styledButton(Frame2, QStringLiteral("EditButton"), QStringLiteral("Редактировать"), 0, 1760, 1455, 375);
    EditButton->setEnabled(false);
    DeleteButton =
        zv::styledButton(Frame2, QStringLiteral("DeleteButton"), QStringLiteral("Удалить запись"), 0, 2240, 1455, 375);
    VistaButton3 =
        zv::styledButton(Frame2, QStringLiteral("VistaButton3"), QStringLiteral("Компактно"), 0, 5000, 1455, 375);
    cmdConfig =
        zv::styledButton(Frame2, QStringLiteral("cmdConfig"), QStringLiteral("Конфигурация"), 0, 5480, 1455, 375);
    cmdUpdate =
        zv::styledButton(Frame2, QStringLiteral("cmdUpdate"), QStringLiteral("Обновить базу"), 0, 5960, 1455, 375);
    cmdAbout =
        zv::styledButton(Frame2, QStringLiteral("cmdAbout"), QStringLiteral("О программе..."), 0, 6440, 1455, 375);

    chkOnTop = new QCheckBox(QStringLiteral("Поверх окон"), Frame2);
    chkOnTop->setObjectName(QStringLiteral("chkOnTop"));
    placeTwips(chkOnTop, 0, 6920, 1455, 255);

    lblCount = zv::plainLabel(QStringLiteral("Записей:"), Frame2);
    lblCount->setObjectName(QStringLiteral("lblCount"));
    placeTwips(lblCount, 0, 7400, 1455, 255);

    txtSearch = new QLineEdit(this);
    txtSearch->setObjectName(QStringLiteral("txtSearch"));
    placeTwips(txtSearch, 1680, 120, 3855, 285);
    // The full-text search: Ctrl+F, or the magnifier inside the search box.
    QAction *fullTextSearch = searchWindowAction(this);
    addAction(fullTextSearch);
    txtSearch->addAction(fullTextSearch, QLineEdit::TrailingPosition);
    connect(fullTextSearch, &QAction::triggered, this, [this] { openSearchWindow(this, m_session); });
    createHistoryActions();
    // The backups of the catalogue: Ctrl+B, or the box beside the magnifier.
    QAction *backups = backupsWindowAction(this);
    addAction(backups);
    txtSearch->addAction(backups, QLineEdit::TrailingPosition);
    connect(backups, &QAction::triggered, this, [this] { openBackupsWindow(this, m_session); });
    // Export and import: Ctrl+Shift+E and Ctrl+I, windows of their own.
    QAction *exportAction = exportWindowAction(this);
    addAction(exportAction);
    connect(exportAction, &QAction::triggered, this, [this] { openExportWindow(this, m_session); });
    QAction *importAction = importWindowAction(this);
    addAction(importAction);
    connect(importAction, &QAction::triggered, this, [this] { openImportWindow(this, m_session); });

    List1 = new QListView(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setVerticalScrollBar(new CachedScrollBar(Qt::Vertical));
    List1->setModel(m_session.model());
    // The selection is the session's, so that the windows opened from here see the same entry.
    QItemSelectionModel *ownSelection = List1->selectionModel();
    List1->setSelectionModel(m_session.selection());
    delete ownSelection;
    List1->setUniformItemSizes(true);
    List1->setItemDelegate(new NameDelegate(List1));
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    List1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List1->setContextMenuPolicy(Qt::CustomContextMenu);
    placeTwips(List1, 1680, 480, 3855, 7275);

    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    for (const zv::Category &category : zv::categories())
        Combo1->addItem(category.displayName);
    placeTwips(Combo1, 5640, 120, 2655, 315);

    txtText = zv::entryTextBox(this, 5640, 480, 6615, 7275);

    // What a screen reader calls the controls that have no caption of their own.
    txtSearch->setAccessibleName(Label3->text()); // its label lies in the left column, not beside it
    List1->setAccessibleName(QStringLiteral("Список записей"));
    Combo1->setAccessibleDescription(QStringLiteral("Раздел")); // its name is the category shown
    txtText->setAccessibleName(QStringLiteral("Текст записи"));

    Label1 = zv::plainLabel(QStringLiteral("Программа запущена ХЗ раз"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    placeTwips(Label1, 9840, 120, 2415, 255);

    FullButton =
        zv::styledButton(this, QStringLiteral("FullButton"), QStringLiteral("Дополнительно"), 8400, 120, 1335, 255);
    FullButton->hide();

    setFixedSize(twips(kFullClientWidth), twips(kClientHeight));

    // A change of the selector loads the category, whoever made it (the load step sets its text).
    connect(Combo1, &QComboBox::currentIndexChanged, this, [this] {
        Combo1_Click();
        // A user's choice of another category emits activated as well, right after this and from
        // the same call: that choice is loaded already. The mark lasts until the event loop turns
        // again, so a change made by code does not swallow the user's next choice.
        m_choiceLoaded = true;
        QMetaObject::invokeMethod(
            this, [this] { m_choiceLoaded = false; }, Qt::QueuedConnection);
    });
    // Choosing the category already shown reloads it as well.
    connect(Combo1, &QComboBox::activated, this, [this] {
        if (!std::exchange(m_choiceLoaded, false))
            Combo1_Click();
    });
    // The entry step follows the selection, whether the mouse, the keyboard or the search made it.
    connect(&m_session, &zv::CatalogueSession::entrySelected, this, &frmMain::List1_Click);
    connect(&m_session, &zv::CatalogueSession::categoryLoaded, this, &frmMain::listLoaded);
    // Another window (the search) may show a category: the selector follows.
    connect(&m_session, &zv::CatalogueSession::categoryLoaded, this, [this] {
        const auto category = zv::categoryByTable(m_session.CurrentTable());
        if (!category || category->displayName == Combo1->currentText())
            return;
        const QSignalBlocker quiet(Combo1);
        Combo1->setCurrentText(category->displayName);
        AllMenu();
        if (QAction *own = m_moveActions.value(category->table))
            own->setVisible(false);
    });
    connect(&m_session, &zv::CatalogueSession::entryRemoved, this, &frmMain::selectedRowRemoved);
    connect(&m_session, &zv::CatalogueSession::countChanged, this, &frmMain::showCount);
    connect(&m_session, &zv::CatalogueSession::entryEdited, this, [this](const QString &name) {
        txtText->setPlainText(QStringLiteral("Запись ") + name + QStringLiteral(" обновлена успешно."));
    });
    connect(List1, &QListView::doubleClicked, this, &frmMain::List1_DblClick);
    connect(List1, &QListView::customContextMenuRequested, this, &frmMain::List1_MouseDown);
    connect(txtSearch, &QLineEdit::textChanged, this, &frmMain::txtSearch_Change);
    connect(chkOnTop, &QCheckBox::toggled, this, &frmMain::chkOnTop_Click);
    connect(&zv::settingsEvents(), &zv::SettingsEvents::written, this, &frmMain::followSetting);
    connect(VistaButton3, &VistaButton::Click, this, [this] {
        setCompactLayout(true);
        zv::writeOptionFlag(zv::Option::Compact, true);
    });
    connect(FullButton, &VistaButton::Click, this, [this] {
        setCompactLayout(false);
        zv::writeOptionFlag(zv::Option::Compact, false);
    });
    connect(cmdAddItem, &VistaButton::Click, this, &frmMain::cmdAddItem_Click);
    connect(EditButton, &VistaButton::Click, this, &frmMain::EditButton_Click);
    connect(DeleteButton, &VistaButton::Click, this, &frmMain::DeleteSelected);
    connect(cmdUpdate, &VistaButton::Click, this, &frmMain::cmdUpdate_Click);
    connect(Print_cmd, &VistaButton::Click, this, &frmMain::Print_cmd_Click);
    connect(cmdViewScreen, &VistaButton::Click, this, &frmMain::cmdViewScreen_Click);
    connect(cmdConfig, &VistaButton::Click, this, &frmMain::cmdConfig_Click);
    connect(cmdAbout, &VistaButton::Click, this, &frmMain::cmdAbout_Click);
}

void frmMain::createListMenu()
{
    lstMenu = new QMenu(QStringLiteral("ListMenu"), this);
    lstMenu->setObjectName(QStringLiteral("lstMenu"));
    auto addItem = [this](const QString &name, const QString &caption) {
        QAction *action = lstMenu->addAction(caption);
        action->setObjectName(name);
        return action;
    };
    mnuScrShot = addItem(QStringLiteral("mnuScrShot"), QStringLiteral("Просмотр скриншота"));
    connect(addItem(QStringLiteral("mnuEditItem"), QStringLiteral("Редактировать запись...")), &QAction::triggered,
            this, &frmMain::EditButton_Click);
    connect(addItem(QStringLiteral("mnuDeleteItem"), QStringLiteral("Удалить запись")), &QAction::triggered, this,
            &frmMain::DeleteSelected);
    lstMenu->addSeparator();
    QAction *mnuPrint = addItem(QStringLiteral("mnuPrint"), QStringLiteral("Печать"));
    QAction *mnuSaveItem = addItem(QStringLiteral("mnuSaveItem"), QStringLiteral("Сохранить запись..."));
    QAction *mnuSaveList = addItem(QStringLiteral("mnuSaveList"), QStringLiteral("Сохранить список..."));
    lstMenu->addSeparator();
    QAction *mnuAddScreenShot = addItem(QStringLiteral("mnuAddScreenShot"), QStringLiteral("Добавить скриншот..."));
    connect(mnuScrShot, &QAction::triggered, this, &frmMain::cmdViewScreen_Click);
    connect(mnuPrint, &QAction::triggered, this, &frmMain::Print_cmd_Click);
    connect(mnuSaveItem, &QAction::triggered, this, &frmMain::mnuSaveItem_Click);
    connect(mnuSaveList, &QAction::triggered, this, &frmMain::mnuSaveList_Click);
    connect(mnuAddScreenShot, &QAction::triggered, this, &frmMain::mnuAddScreenShot_Click);

    QMenu *mnu_move = lstMenu->addMenu(QStringLiteral("Перенести в раздел:"));
    mnu_move->setObjectName(QStringLiteral("mnu_move"));
    mnu_move->menuAction()->setObjectName(QStringLiteral("mnu_move"));
    for (const zv::Category &category : zv::categories()) {
        QAction *action = mnu_move->addAction(category.displayName);
        action->setObjectName(category.moveMenuItem);
        m_moveActions.insert(category.table, action);
        connect(action, &QAction::triggered, this,
                [this, table = category.table] { MoveItem(selectedEntryText(), selectedName(), table); });
    }
    createListMenuAdditions();
}

void frmMain::Form_Load()
{
    SetWindowIcon(this, QStringLiteral("AAA"), true);
    if (zv::readOptionChecked(zv::Option::OnTop))
        chkOnTop->setChecked(true);
    QPalette red = Label1->palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    Label1->setPalette(red);
    Combo1->setCurrentText(QStringLiteral("Программы"));
    GetSettingsMain();
    if (zv::readOption(zv::Option::Sex) == QLatin1String("yeah baby"))
        zv::showMessage(this, QStringLiteral("yeah baby!"));
    if (zv::readOption(zv::Option::Compact) == QLatin1String("1"))
        setCompactLayout(true);
    ApplyLanguage();
    setWindowTitle(QStringLiteral("Zorvanell ") + ShortVersion);
}

void frmMain::GetSettingsMain()
{
    const QString runCount = zv::readOption(zv::Option::RunCount);
    Label1->setText(QStringLiteral("Программа запущена ") + runCount + QStringLiteral("й раз"));
    zv::writeOption(zv::Option::RunCount, zv::nextRunCount(zv::readOption(zv::Option::RunCount)));
    ApplyOpacity(this, zv::readOptionNumber(zv::Option::TraspLevel));
    if (!zv::readOptionFlag(zv::Option::ShowRun))
        Label1->hide();
    if (zv::readOptionFlag(zv::Option::OnTop))
        SetTopmost(this);
}

void frmMain::setCompactLayout(bool compact)
{
    m_compact = compact;
    Frame2->setVisible(!compact);
    const int listLeft = compact ? 120 : 1680;
    const int textLeft = compact ? 4080 : 5640;
    txtSearch->move(twips(listLeft), txtSearch->y());
    List1->move(twips(listLeft), List1->y());
    Combo1->move(twips(textLeft), Combo1->y());
    txtText->move(twips(textLeft), txtText->y());
    if (compact)
        FullButton->move(twips(6840), FullButton->y());
    FullButton->setVisible(compact);
    Label1->move(twips(compact ? 8280 : 9840), Label1->y());
    setFixedSize(twips(compact ? kCompactClientWidth : kFullClientWidth), twips(kClientHeight));
}

void frmMain::chkOnTop_Click()
{
    // Written, the setting puts this window on top or back (followSetting).
    zv::writeOptionFlag(zv::Option::OnTop, chkOnTop->isChecked());
}

void frmMain::followSetting(zv::Option option, const QString &value)
{
    const bool on = value == QLatin1String("1");
    switch (option) {
    case zv::Option::OnTop:
        if (on)
            SetTopmost(this);
        else
            ClearTopmost(this);
        break;
    case zv::Option::TraspLevel:
        ApplyOpacity(this, zv::optionAsNumber(value, 255));
        break;
    case zv::Option::ShowRun:
        Label1->setVisible(on);
        break;
    default:
        break;
    }
}

void frmMain::lblCount_Click()
{
    if (selectedName() == QLatin1String("Google Earth"))
        OpenWithShell(zv::addresses::kGoogleEarthPage, 2, this);
}

QList<LanguageAware::Caption> frmMain::languageCaptions()
{
    return {
        {QStringLiteral("Welcome"),
         [this](const QString &t) {
             if (txtText->toPlainText().isEmpty())
                 txtText->setPlainText(t);
         }},
        {QStringLiteral("Caption"), [this](const QString &t) { setWindowTitle(t); }},
        {QStringLiteral("AddItem"), [this](const QString &t) { cmdAddItem->setCaption(t); }},
        {QStringLiteral("ViewScreen"), [this](const QString &t) { cmdViewScreen->setCaption(t); }},
        {QStringLiteral("Config"), [this](const QString &t) { cmdConfig->setCaption(t); }},
        {QStringLiteral("Update"), [this](const QString &t) { cmdUpdate->setCaption(t); }},
        {QStringLiteral("About"), [this](const QString &t) { cmdAbout->setCaption(t); }},
    };
}

bool frmMain::windowKey(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        zv::seam().exitProcess(0);
        return true;
    }
    const Qt::KeyboardModifiers all = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
    const bool modifierKey = event->key() == Qt::Key_Shift || event->key() == Qt::Key_Control ||
                             event->key() == Qt::Key_Alt || event->key() == Qt::Key_Meta ||
                             event->key() == Qt::Key_AltGr;
    // A key pressed while all three are held; pressing the three themselves is not yet such a key.
    if (!modifierKey && (event->modifiers() & all) == all) {
        zv::showMessage(this, QStringLiteral("Это не пасхальное яйцо!!"), zv::MessageForm::OkInformation);
        zv::seam().openWithShell(zv::programFolder());
        return true;
    }
    return false;
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (textBoxTakesUndo(watched, event))
        return true;
    // Installed on the application: key presses of every control of this window come here first.
    if (event->type() == QEvent::KeyPress) {
        auto *widget = qobject_cast<QWidget *>(watched);
        if (widget && widget->window() == this) {
            auto *key = static_cast<QKeyEvent *>(event);
            if (windowKey(key))
                return true;
            if (watched == List1 && key->key() == Qt::Key_Space) {
                if (cmdViewScreen->isEnabled())
                    emit cmdViewScreen->Click();
                return true;
            }
            if (watched == List1 && key->key() == Qt::Key_Delete) {
                DeleteSelected();
                return true;
            }
        }
    }
    // A right press on the list must not select what is under the pointer: the menu acts on the
    // entry that was selected before, and with none selected there is no menu.
    if (watched == List1->viewport() &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) &&
        static_cast<QMouseEvent *>(event)->button() == Qt::RightButton)
        return true;
    if (watched == lblCount && event->type() == QEvent::MouseButtonRelease)
        lblCount_Click();
    return QWidget::eventFilter(watched, event);
}

void frmMain::closeEvent(QCloseEvent *event)
{
    m_session.closeCatalogue();
    QWidget::closeEvent(event);
    zv::seam().exitProcess(0);
}

void frmMain::showEvent(QShowEvent *event)
{
    if (!m_shownOnce) {
        m_shownOnce = true;
        if (const QScreen *screen = this->screen()) {
            const QRect area = screen->availableGeometry();
            move(area.center() - QPoint(width() / 2, height() / 2));
        }
        // Typing goes straight into the search box.
        txtSearch->setFocus();
    }
    QWidget::showEvent(event);
}

void frmMain::cmdConfig_Click()
{
    // It changes this window's look through the settings it writes (followSetting).
    frmOptions options(this);
    options.exec();
}

void frmMain::cmdAbout_Click()
{
    frmAbout about(this);
    about.exec();
}
