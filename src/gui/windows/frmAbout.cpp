#include "gui/windows/frmAbout.h"

#include "core/Addresses.h"
#include "core/Seam.h"
#include "core/SharedState.h"
#include "gui/APIandFunc.h"
#include "gui/IconMdl.h"
#include "gui/WindowGeometry.h"
#include "gui/controls/EventLabel.h"
#include "gui/controls/VistaButton.h"
#include "gui/windows/frmTitles.h"

#include <QClipboard>
#include <QGroupBox>
#include <QGuiApplication>
#include <QPainter>
#include <QRegularExpression>
#include <QScreen>

using zv::placed;

namespace {

const QColor kSilver(192, 192, 192);
const QColor kDarkGrey(64, 64, 64);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
const QColor kNavy(0, 0, 128);
const QColor kGrey(128, 128, 128);

constexpr int kLogoStep = 250; // twips a click
constexpr int kLogoClimbs = 5;

void setTextColour(QWidget *label, const QColor &colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

EventLabel *label(QWidget *parent, const QString &name, const QString &text, int left, int top, int width, int height,
                  const QColor &colour)
{
    auto *l = placed(new EventLabel(parent), name, left, top, width, height);
    l->setTextFormat(Qt::PlainText);
    l->setText(text);
    l->setWordWrap(true);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextColour(l, colour);
    return l;
}

EventLabel *picture(QWidget *parent, const QString &name, int left, int top, int width, int height,
                    const QString &tip = {})
{
    auto *p = placed(new EventLabel(parent), name, left, top, width, height);
    p->setToolTip(tip);
    return p;
}

// A caption under an icon. Its text is padded with leading blanks that push the word onto the
// second line: blanks count as text where a line starts, a word that does not fit starts the next
// line, and the blanks at a break vanish. Each line is centred; lines below the label are not drawn.
class IconCaption : public EventLabel
{
public:
    using EventLabel::EventLabel;

    QStringList lines() const
    {
        static const QRegularExpression pieces(QStringLiteral("( +|[^ ]+)"));
        const QFontMetrics metrics(font());
        QStringList lines;
        QString line;
        for (const QRegularExpressionMatch &match : pieces.globalMatch(text())) {
            const QString piece = match.captured();
            if (metrics.horizontalAdvance(line + piece) <= width()) {
                line += piece;
            } else if (piece.startsWith(QLatin1Char(' '))) {
                lines << line;
                line.clear();
            } else if (line.isEmpty()) {
                line = piece;
            } else {
                lines << line;
                line = piece;
            }
        }
        lines << line;
        return lines;
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        const int lineHeight = fontMetrics().height();
        int top = 0;
        for (const QString &line : lines()) {
            // A line whose letters would be cut at the bottom is left out.
            if (top + fontMetrics().ascent() > height())
                break;
            painter.drawText(QRect(0, top, width(), lineHeight), Qt::AlignHCenter | Qt::AlignTop, line);
            top += lineHeight;
        }
    }
};

// The captions under the icons: Arial, centred.
EventLabel *iconCaption(QWidget *parent, const QString &name, const QString &text, int left, int top, int width,
                        int height)
{
    auto *l = placed(new IconCaption(parent), name, left, top, width, height);
    l->setText(text);
    setTextColour(l, kDarkGrey);
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(8.25);
    l->setFont(font);
    return l;
}

QFont boldFont(const QWidget *window)
{
    QFont font = window->font();
    font.setBold(true);
    return font;
}

// A line of music each author wrote the program to; the bands are as made up as the songs.
QString musicJoke(const QString &who, const QString &first, const QString &second, const QString &closing)
{
    return who + QStringLiteral(" писал эту программу под музыку:\r") + first + QLatin1Char('\r') + second +
           QLatin1Char('\r') + closing;
}

} // namespace

frmAbout::frmAbout(QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , LanguageAware(Window::About)
{
    setObjectName(QStringLiteral("frmAbout"));
    setMouseTracking(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::black);
    setPalette(palette);
    setAutoFillBackground(true);
    setFixedSize(zv::twips(6720), zv::twips(3510));
    createControls();
    Form_Load();
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

void frmAbout::createControls()
{
    const QStringList spareFiles = {QStringLiteral("about-forum-hover"), QStringLiteral("about-mail-hover"),
                                    QStringLiteral("about-web-hover"),   QStringLiteral("about-contacts-hover"),
                                    QStringLiteral("about-web"),         QStringLiteral("about-mail"),
                                    QStringLiteral("about-contacts"),    QStringLiteral("about-forum"),
                                    QStringLiteral("about-logo-hover"),  QStringLiteral("about-logo")};
    for (int i = 0; i < spareFiles.size(); ++i) {
        auto *hidden = new QLabel(this);
        hidden->setObjectName(QStringLiteral("Image%1").arg(i + 5));
        hidden->setPixmap(QPixmap(QStringLiteral(":/pictures/") + spareFiles[i] + QStringLiteral(".png")));
        hidden->setGeometry(i * 120, zv::twips(3510) + 10, 116, 116);
        hidden->hide();
        m_spares << hidden;
    }
    Image1 = picture(this, QStringLiteral("Image1"), 0, 120, 1740, 1740);
    Image1->setPixmap(spare(14));
    Label1 = label(this, QStringLiteral("Label1"), QString(), 1800, 120, 2415, 255, kSilver);
    bd = label(this, QStringLiteral("bd"), QStringLiteral("Сборка от 14 сентября 2009"), 4200, 120, 2535, 255, kSilver);
    Label2 = label(this, QStringLiteral("Label2"), QStringLiteral("Автор: команда Zorvanell"), 1800, 360, 3255, 375,
                   kSilver);
    Label3 = label(this, QStringLiteral("Label3"),
                   QStringLiteral("Программисты: команда Zorvanell и все, кто присылал пасхалки"), 1800, 600, 2895, 495,
                   kSilver);
    VistaButton1 = placed(new VistaButton(this), QStringLiteral("VistaButton1"), 4800, 480, 1815, 375);
    VistaButton1->setCaption(QStringLiteral("Команда Zorvanell"));

    cmdWeb =
        picture(this, QStringLiteral("cmdWeb"), 1845, 1080, 705, 525, QStringLiteral("Сайт программы в интернете"));
    cmdWeb->setPixmap(spare(9));
    Image2 = picture(this, QStringLiteral("Image2"), 2685, 1035, 750, 750, QStringLiteral("Написать письмо автору"));
    Image2->setPixmap(spare(10));
    Image3 = picture(this, QStringLiteral("Image3"), 3495, 1080, 765, 645,
                     QStringLiteral("Скопировать номера ICQ в буфер обмена"));
    Image3->setPixmap(spare(11));
    Image4 = picture(this, QStringLiteral("Image4"), 4395, 1080, 780, 645, QStringLiteral("Форум программы"));
    Image4->setPixmap(spare(12));

    Label5 = iconCaption(this, QStringLiteral("Label5"),
                         QStringLiteral("                 Сайт                   ICQ           Форум"), 1905, 1620, 630,
                         450);
    Label9 = iconCaption(this, QStringLiteral("Label9"), QStringLiteral("           Почта"), 2680, 1620, 615, 375);
    Label10 = iconCaption(this, QStringLiteral("Label10"), QStringLiteral("       ICQ"), 3600, 1620, 495, 495);
    Label11 = iconCaption(this, QStringLiteral("Label11"), QStringLiteral("     Форум"), 4440, 1620, 615, 495);

    Label8 = label(this, QStringLiteral("Label8"), QStringLiteral("Прислать пасхалку"), 5640, 1080, 975, 495, kRed);
    Label8->setFont(boldFont(this));
    Label8->setCursor(Qt::PointingHandCursor);
    Label4 =
        label(this, QStringLiteral("Label4"), QStringLiteral("© Zorvanell, 2007–2009"), 5400, 1800, 1335, 495, kNavy);
    Label4->setFont(boldFont(this));

    Frame1 = placed(new QGroupBox(QStringLiteral("Реклама:"), this), QStringLiteral("Frame1"), 120, 2400, 6495, 975);
    setTextColour(Frame1, kGrey);
    Label6 = label(Frame1, QStringLiteral("Label6"),
                   QStringLiteral("Пасхалки в играх, программах и фильмах: тысячи секретов на ") +
                       zv::addresses::kPartnerDomain + QStringLiteral(". Заходите!"),
                   120, 240, 6015, 495, kGrey);
    Label6->setCursor(Qt::ArrowCursor);

    connect(Label1, &EventLabel::MouseDown, this, [this] { reset(); });
    connect(Label2, &EventLabel::MouseMove, this, [this] { reset(); });
    connect(Label3, &EventLabel::MouseMove, this, [this] { reset(); });
    connect(VistaButton1, &VistaButton::MouseMove, this, [this] { reset(); });
    connect(VistaButton1, &VistaButton::Click, this, &frmAbout::VistaButton1_Click);

    connect(Image1, &EventLabel::MouseMove, this, [this] { Image1->setPixmap(spare(13)); });
    connect(Image1, &EventLabel::Click, this, &frmAbout::Image1_Click);
    connect(Image1, &EventLabel::DblClick, this, &frmAbout::Image1_DblClick);

    const QString site = zv::addresses::kProjectSite;
    for (EventLabel *web : {cmdWeb, Label5}) {
        connect(web, &EventLabel::MouseMove, this, &frmAbout::webHover);
        connect(web, &EventLabel::Click, this, [this, site] { OpenWithShell(site, 2, this); });
    }
    for (EventLabel *mail : {Image2, Label9}) {
        connect(mail, &EventLabel::MouseMove, this, &frmAbout::mailHover);
        connect(mail, &EventLabel::Click, this,
                [this] { OpenWithShell(QStringLiteral("mailto:") + zv::addresses::kAuthorsMail, 2, this); });
    }
    connect(Image3, &EventLabel::MouseMove, this, &frmAbout::contactsHover);
    connect(Label10, &EventLabel::MouseMove, this, &frmAbout::contactsHover);
    connect(Image3, &EventLabel::Click, this, [this] { copyToClipboard(contactListA()); });
    connect(Label10, &EventLabel::Click, this, [this] { copyToClipboard(contactListB()); });
    for (EventLabel *forum : {Image4, Label11}) {
        connect(forum, &EventLabel::MouseMove, this, &frmAbout::forumHover);
        connect(forum, &EventLabel::Click, this, [this] { OpenWithShell(zv::addresses::kForum, 2, this); });
    }
    connect(Label4, &EventLabel::MouseMove, this, &frmAbout::noticeHover);
    connect(Label4, &EventLabel::Click, this, [this, site] { OpenWithShell(site, 0, this); });
    connect(Label8, &EventLabel::MouseMove, this, &frmAbout::linkHover);
    connect(Label8, &EventLabel::MouseDown, this, [this] { setTextColour(Label8, kGreen); });
    connect(Label8, &EventLabel::MouseUp, this, [this] { setTextColour(Label8, kGreen); });
    connect(Label8, &EventLabel::Click, this, [this] { OpenWithShell(zv::addresses::kForumNewEggTopic, 0, this); });
    connect(Label6, &EventLabel::Click, this, [this] { OpenWithShell(zv::addresses::kPartnerPortal, 0, this); });

    // What reacts to a click is reached with Tab and pressed with Space; the pictures are named by
    // their tooltips, the captions by their words. The advertisement lies out of view.
    Image1->setClickable(QStringLiteral("Логотип Zorvanell"));
    for (EventLabel *clickable : {cmdWeb, Image2, Image3, Image4, Label9, Label10, Label11, Label8, Label4})
        clickable->setClickable();
    Label5->setClickable(QStringLiteral("Сайт")); // the only word of its text in view
}

void frmAbout::Form_Load()
{
    SetWindowIcon(this, QStringLiteral("AAA"), true);
    GetSettingAbout();
    Label1->setText(QStringLiteral("Zorvanell ") + FullVersion);
    setWindowTitle(QStringLiteral("Zorvanell ") + ShortVersion);
    // Shorter than designed: the advertisement frame stays out of view.
    setFixedSize(width(), zv::twips(2400));
    ApplyLanguage();
}

void frmAbout::GetSettingAbout()
{
    ApplyWindowSettings(this);
}

QPixmap frmAbout::spare(int number) const
{
    return m_spares.at(number - 5)->pixmap();
}

void frmAbout::mouseMoveEvent(QMouseEvent *)
{
    reset();
}

void frmAbout::reset(Keep keep)
{
    if (keep != Keep::Web)
        cmdWeb->setPixmap(spare(9));
    Image1->setPixmap(spare(14));
    Image2->setPixmap(spare(10));
    Image3->setPixmap(spare(11));
    if (keep != Keep::Forum)
        Image4->setPixmap(spare(12));
    if (keep != Keep::Link)
        setTextColour(Label8, kRed);
    if (keep != Keep::Notice)
        setTextColour(Label4, kNavy);
    if (keep != Keep::Web)
        setTextColour(Label5, Qt::black);
    setTextColour(Label9, Qt::black);
    setTextColour(Label10, Qt::black);
    if (keep != Keep::Forum)
        setTextColour(Label11, Qt::black);
}

void frmAbout::webHover()
{
    cmdWeb->setPixmap(spare(7));
    setTextColour(Label5, Qt::white);
    reset(Keep::Web);
}

void frmAbout::mailHover()
{
    Image2->setPixmap(spare(6));
    setTextColour(Label9, Qt::white);
}

void frmAbout::contactsHover()
{
    Image3->setPixmap(spare(8));
    setTextColour(Label10, Qt::white);
}

void frmAbout::forumHover()
{
    Image4->setPixmap(spare(5));
    setTextColour(Label11, Qt::white);
    reset(Keep::Forum);
}

void frmAbout::noticeHover()
{
    setTextColour(Label4, Qt::white);
    reset(Keep::Notice);
}

void frmAbout::linkHover()
{
    setTextColour(Label8, kGreen);
    reset(Keep::Link);
}

void frmAbout::Image1_Click()
{
    ++AboutClickCount;
    if (AboutClickCount > kLogoClimbs) {
        m_logoTop += kLogoStep;
        ++AboutReturnCount;
        if (AboutReturnCount > kLogoClimbs)
            m_logoTop -= kLogoStep;
    } else {
        m_logoTop -= kLogoStep;
    }
    placeLogo();
}

void frmAbout::placeLogo()
{
    Image1->move(Image1->x(), zv::twipsFloor(m_logoTop));
}

void frmAbout::Image1_DblClick()
{
    zv::showMessage(this, musicJoke(QStringLiteral("Один из авторов"),
                                    QStringLiteral("1. Ансамбль «Скорлупа» — «Вальс на сковородке»"),
                                    QStringLiteral("2. Группа «Желток» — «Всмятку навсегда»"),
                                    QStringLiteral("Громко. Очень громко.")));
    zv::showMessage(this, musicJoke(QStringLiteral("Другой автор"),
                                    QStringLiteral("1. Хор «Курочка Ряба» — «Яичко не простое»"),
                                    QStringLiteral("2. Диджей Омлет — «Взбить, но не смешивать»"),
                                    QStringLiteral("И ни разу не снял наушники.")));
    for (const char *count : {"3", "2", "1", "0"})
        zv::showMessage(this, QString::fromLatin1(count));
    close();
}

void frmAbout::VistaButton1_Click()
{
    frmTitles titles(this);
    titles.exec();
}

QString frmAbout::contactListA()
{
    // Made-up numbers: no real account answers them.
    return QStringLiteral("ICQ\r\nСкорлупкин: 000-000-001\r\nЖелтков: 000-000-002\r\nЦыплёнок: 000-000-003");
}

QString frmAbout::contactListB()
{
    return QStringLiteral("ICQ\r\nОмлетов: 000-000-004\r\nГлазуньин: 000-000-005\r\nЦыплёнок: 000-000-003");
}

void frmAbout::copyToClipboard(const QString &text)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
}

QList<LanguageAware::Caption> frmAbout::languageCaptions()
{
    return {
        {QStringLiteral("Caption_About"), [this](const QString &t) { setWindowTitle(t); }},
        {QStringLiteral("Program_version_About"), [this](const QString &t) { Label1->setText(t); }},
        {QStringLiteral("Author_About"), [this](const QString &t) { Label2->setText(t); }},
        {QStringLiteral("Programmers_About"), [this](const QString &t) { Label3->setText(t); }},
        {QStringLiteral("Reklama_About"), [this](const QString &t) { Label6->setText(t); }},
        {QStringLiteral("Add_egg_About"), [this](const QString &t) { Label8->setText(t); }},
        {QStringLiteral("Compile_About"), [this](const QString &t) { bd->setText(t); }},
        {QStringLiteral("Team_About"), [this](const QString &t) { VistaButton1->setCaption(t); }},
        {QStringLiteral("Frame1_About"), [this](const QString &t) { Frame1->setTitle(t); }},
    };
}
