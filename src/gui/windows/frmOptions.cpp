#include "gui/windows/frmOptions.h"

#include "core/INI.h"
#include "core/Settings.h"
#include "gui/APIandFunc.h"
#include "gui/IconMdl.h"
#include "gui/PlainLabel.h"
#include "gui/WindowGeometry.h"
#include "gui/controls/VistaButton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>

using zv::placed;

namespace {

constexpr int kMinLevel = 125;
constexpr int kMaxLevel = 255;
const QString kRussian = QStringLiteral("Русский");
const QString kRussianAlternative = QStringLiteral("Русский_падонак");

} // namespace

frmOptions::frmOptions(QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , LanguageAware(Window::Options)
{
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Настройка программы"));
    zv::setWindowBackground(this);
    setFixedSize(zv::twips(5310), zv::twips(2325));
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    createControls();
    Form_Load();
}

void frmOptions::createControls()
{
    Label1 = placed(zv::plainLabel(QStringLiteral("Уровень прозрачности (125-255):"), this), QStringLiteral("Label1"),
                    120, 240, 3255, 255);
    HScroll1 = placed(new QScrollBar(Qt::Horizontal, this), QStringLiteral("HScroll1"), 120, 480, 4335, 255);
    HScroll1->setRange(kMinLevel, kMaxLevel);
    HScroll1->setSingleStep(1);
    HScroll1->setPageStep(1);
    // The left arrow lowers the level, as the bar reads from left to right.
    HScroll1->setInvertedControls(false);
    Text1 = placed(new QLineEdit(this), QStringLiteral("Text1"), 4560, 480, 615, 285);
    chkRunsCount = placed(new QCheckBox(QStringLiteral("Показывать счётчик запусков"), this),
                          QStringLiteral("chkRunsCount"), 120, 840, 2655, 255);
    chkSplash = placed(new QCheckBox(QStringLiteral("Показывать заставку"), this), QStringLiteral("chkSplash"), 120,
                       1200, 2055, 255);
    chkOnTop = placed(new QCheckBox(QStringLiteral("Поверх всех окон"), this), QStringLiteral("chkOnTop"), 120, 1560,
                      2415, 255);
    VistaButton3 = placed(new VistaButton(this), QStringLiteral("VistaButton3"), 3840, 1800, 1335, 375);
    VistaButton3->setCaption(QStringLiteral("OK"));
    Label2 = placed(zv::plainLabel(QStringLiteral("Язык"), this), QStringLiteral("Label2"), 120, 1920, 615, 255);
    Combo1 = placed(new QComboBox(this), QStringLiteral("Combo1"), 840, 1860, 2175, 315);
    Combo1->addItems({kRussian, kRussianAlternative});
    Combo1->setCurrentIndex(-1);
    Label2->hide();
    Combo1->hide();
    // Two settings whose boxes are never shown; the second lies below the client area as well.
    Check1 = placed(new QCheckBox(QStringLiteral("Убрать рекламу при запуске."), this), QStringLiteral("Check1"), 2400,
                    1200, 2775, 255);
    Taskkill_c = placed(new QCheckBox(QStringLiteral("Выход через taskkill (если вылетает ошибка)"), this),
                        QStringLiteral("Taskkill_c"), 120, 2400, 3735, 255);
    Check1->hide();
    Taskkill_c->hide();

    // Every change runs its handler, whether the user or the loading made it.
    connect(chkOnTop, &QCheckBox::toggled, this, &frmOptions::chkOnTop_Click);
    connect(chkRunsCount, &QCheckBox::toggled, this, &frmOptions::chkRunsCount_Click);
    connect(chkSplash, &QCheckBox::toggled, this, &frmOptions::chkSplash_Click);
    connect(Check1, &QCheckBox::toggled, this, &frmOptions::Check1_Click);
    connect(Taskkill_c, &QCheckBox::toggled, this, &frmOptions::Taskkill_c_Click);
    connect(HScroll1, &QScrollBar::valueChanged, this, &frmOptions::HScroll1_Change);
    connect(Text1, &QLineEdit::textChanged, this, &frmOptions::Text1_Change);
    connect(Combo1, &QComboBox::activated, this, &frmOptions::Combo1_Click);
    connect(VistaButton3, &VistaButton::Click, this, &QDialog::accept);
}

void frmOptions::Form_Load()
{
    SetWindowIcon(this, QStringLiteral("AAA"), true);
    ApplyWindowSettings(this);

    // Check boxes are set from a number: 1 checks them, anything else leaves them unchecked.
    chkSplash->setChecked(zv::readOptionChecked(zv::Option::SplashScreen));
    chkRunsCount->setChecked(zv::readOptionChecked(zv::Option::ShowRun));
    chkOnTop->setChecked(zv::readOptionChecked(zv::Option::OnTop));
    // A stored level the bar cannot show is shown as the nearest one it can, the level every
    // window uses for it anyway.
    HScroll1->setValue(zv::readOptionNumber(zv::Option::TraspLevel));
    Text1->setText(QString::number(HScroll1->value()));
    if (!zv::platformHasTranslucency()) {
        // The level is still kept, for a desktop that can show it; nothing pretends it shows here.
        const QString why = QStringLiteral("Эта система не умеет делать окна прозрачными: уровень сохранится "
                                           "и будет действовать там, где прозрачность доступна.");
        HScroll1->setToolTip(why);
        Text1->setToolTip(why);
    }

    const QString lang = zv::readOption(zv::Option::Lang);
    if (lang.isEmpty() || lang == zv::kLangBuiltIn) {
        Combo1->setCurrentIndex(0);
        Combo1_Click();
    } else if (lang == zv::kLangAlternative) {
        Combo1->setCurrentIndex(1);
        Combo1_Click();
        Combo1->show();
        Label2->show();
    }

    const QString taskkill = zv::readOption(zv::Option::taskkill);
    if (taskkill == QLatin1String("0") || taskkill.isEmpty())
        Taskkill_c->setChecked(false);
    if (zv::readOption(zv::Option::adds) == QLatin1String("1"))
        Check1->setChecked(true);
    if (taskkill == QLatin1String("1"))
        Taskkill_c->setChecked(true);

    ApplyLanguage();
}

void frmOptions::chkOnTop_Click()
{
    // The main window follows the setting at once.
    zv::writeOptionFlag(zv::Option::OnTop, chkOnTop->isChecked());
    if (chkOnTop->isChecked())
        SetTopmost(this);
    else
        ClearTopmost(this);
}

void frmOptions::chkRunsCount_Click()
{
    // The main window shows or hides its run counter as it is written.
    zv::writeOptionFlag(zv::Option::ShowRun, chkRunsCount->isChecked());
}

void frmOptions::chkSplash_Click()
{
    zv::writeOptionFlag(zv::Option::SplashScreen, chkSplash->isChecked());
}

void frmOptions::Check1_Click()
{
    zv::writeOptionFlag(zv::Option::adds, Check1->isChecked());
}

void frmOptions::Taskkill_c_Click()
{
    zv::writeOptionFlag(zv::Option::taskkill, Taskkill_c->isChecked());
}

void frmOptions::HScroll1_Change()
{
    const QString level = QString::number(HScroll1->value());
    if (Text1->text() != level)
        Text1->setText(level);
    // The main window takes the level it is written with.
    zv::writeOption(zv::Option::TraspLevel, Text1->text());
    ApplyOpacity(this, zv::optionAsNumber(Text1->text(), kMaxLevel));
}

void frmOptions::Text1_Change()
{
    // Only a leading number the bar can show moves it; anything else stays as typed.
    const int level = zv::optionAsNumber(Text1->text(), 0);
    if (level >= kMinLevel && level <= kMaxLevel)
        HScroll1->setValue(level);
}

void frmOptions::Combo1_Click()
{
    const QString chosen = Combo1->currentText();
    if (chosen == kRussian)
        zv::writeOption(zv::Option::Lang, zv::kLangBuiltIn);
    else if (chosen == kRussianAlternative)
        zv::writeOption(zv::Option::Lang, zv::kLangAlternative);
    else
        return;
    ApplyLanguage();
}

QList<LanguageAware::Caption> frmOptions::languageCaptions()
{
    return {
        {QStringLiteral("Caption_frmOptions"), [this](const QString &t) { setWindowTitle(t); }},
        {QStringLiteral("frmOptions_Transparent"), [this](const QString &t) { Label1->setText(t); }},
        {QStringLiteral("frmOptions_Language"), [this](const QString &t) { Label2->setText(t); }},
        {QStringLiteral("frmOptions_Count_Show"), [this](const QString &t) { chkRunsCount->setText(t); }},
        {QStringLiteral("frmOptions_Splash"), [this](const QString &t) { chkSplash->setText(t); }},
        {QStringLiteral("frmOptions_Ontop"), [this](const QString &t) { chkOnTop->setText(t); }},
        {QStringLiteral("frmOptions_Taskkill"), [this](const QString &t) { Taskkill_c->setText(t); }},
    };
}
