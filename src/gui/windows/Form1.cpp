#include "gui/windows/Form1.h"

#include "core/OwnProcesses.h"
#include "core/ProgramFolder.h"
#include "core/Seam.h"
#include "gui/IconMdl.h"
#include "gui/PlainLabel.h"
#include "gui/WindowGeometry.h"
#include "gui/windows/SingleWindow.h"
#include "gui/windows/xyu.h"

#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStylePainter>

using zv::placed;

void WrappingButton::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    const int margin = style()->pixelMetric(QStyle::PM_ButtonMargin, &option, this) / 2;
    painter.drawItemText(rect().adjusted(margin, margin, -margin, -margin), Qt::AlignCenter | Qt::TextWordWrap,
                         palette(), isEnabled(), text(), QPalette::ButtonText);
}

Form1::Form1(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , LanguageAware(Window::SmallTool)
{
    setObjectName(QStringLiteral("Form1"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Small tool"));
    // The desktop's selection colour stands in for the colour of an active title bar.
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Active, QPalette::Highlight));
    setPalette(palette);
    setAutoFillBackground(true);
    setFixedSize(zv::twips(4935), zv::twips(960));
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());

    Label1 =
        placed(zv::plainLabel(QStringLiteral("Введите название"), this), QStringLiteral("Label1"), 120, 120, 1455, 255);
    QPalette grey = Label1->palette();
    grey.setColor(QPalette::Window, QColor(192, 192, 192));
    grey.setColor(QPalette::WindowText, Qt::black);
    Label1->setPalette(grey);
    Label1->setAutoFillBackground(true);
    Text1 = placed(new QLineEdit(QStringLiteral("explorer.exe"), this), QStringLiteral("Text1"), 1560, 120, 2055, 255);
    QPalette box = Text1->palette();
    box.setColor(QPalette::Base, QColor(224, 224, 224));
    Text1->setPalette(box);
    Text1->setFrame(false);
    Command1 =
        placed(new QPushButton(QStringLiteral("Закрыть"), this), QStringLiteral("Command1"), 120, 480, 1095, 375);
    Command3 =
        placed(new QPushButton(QStringLiteral("Открыть"), this), QStringLiteral("Command3"), 1320, 480, 1095, 375);
    Command2 = placed(new QPushButton(QStringLiteral("Выход"), this), QStringLiteral("Command2"), 2520, 480, 1095, 375);
    Command4 = placed(new WrappingButton(QStringLiteral("Очистить лишние процессы"), this), QStringLiteral("Command4"),
                      3720, 120, 1095, 735);

    // A screen reader names the box by its label.
    Label1->setBuddy(Text1);

    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(Text1, &QLineEdit::returnPressed, this, &Form1::Text1_Enter);
    Form_Load();
}

const QStringList &Form1::fixedProcessList()
{
    static const QStringList names = {QStringLiteral("dllhost.exe"),
                                      QStringLiteral("jusched.exe"),
                                      QStringLiteral("mdm.exe"),
                                      QStringLiteral("wmiprvse.exe"),
                                      QStringLiteral("NMIndexingService.exe"),
                                      QStringLiteral("NMIndexStoreSvr.exe"),
                                      QStringLiteral("NMBgMonitor.exe"),
                                      QStringLiteral("mDNSResponder.exe"),
                                      QStringLiteral("MDM.EXE"),
                                      QStringLiteral("conime.exe"),
                                      QStringLiteral("mim.exe"),
                                      QStringLiteral("MMDiag.exe"),
                                      QStringLiteral("UnlockerAssistant.exe")};
    return names;
}

void Form1::Form_Load()
{
    SetWindowIcon(this, QStringLiteral("AAA"), true);
    ApplyLanguage();
}

void Form1::Command1_Click()
{
    zv::stopOwnProcesses({Text1->text()}, m_procRoot);
}

void Form1::Command2_Click()
{
    close();
}

void Form1::Command3_Click()
{
    // One picture, also when the small tool was closed and opened again.
    if (Text1->text() == QLatin1String("xyu"))
        zv::showSingle<xyu>();
    startTyped();
}

void Form1::Text1_Enter()
{
    startTyped();
}

void Form1::startTyped()
{
    // A start that fails (no such program, a document's name, the default "explorer.exe" here)
    // is passed over in silence.
    zv::startCommandLine(Text1->text());
}

void Form1::Command4_Click()
{
    zv::stopOwnProcesses(fixedProcessList(), m_procRoot);
    zv::showMessage(this, QStringLiteral("Оперативная память компьютера очищена"));
    const QString oldVersion = zv::findProgram(kOldVersion, {zv::programFolder(), zv::executableFolder()});
    if (!oldVersion.isEmpty())
        zv::seam().startProcess(oldVersion, {});
    zv::seam().exitProcess(0);
}

QList<LanguageAware::Caption> Form1::languageCaptions()
{
    return {
        {QStringLiteral("Caption_f1"), [this](const QString &t) { setWindowTitle(t); }},
        {QStringLiteral("Exit_f1"), [this](const QString &t) { Command1->setText(t); }},
        {QStringLiteral("Open_f1"), [this](const QString &t) { Command3->setText(t); }},
        {QStringLiteral("Close_f1"), [this](const QString &t) { Command2->setText(t); }},
        {QStringLiteral("Clear_f1"), [this](const QString &t) { Command4->setText(t); }},
        {QStringLiteral("Label_f1"), [this](const QString &t) { Label1->setText(t); }},
    };
}
