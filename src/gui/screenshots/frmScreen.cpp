#include "gui/screenshots/frmScreen.h"

#include "core/INI.h"
#include "core/Seam.h"
#include "core/Settings.h"
#include "core/screenshots/ScreenshotStore.h"
#include "gui/APIandFunc.h"
#include "gui/IconMdl.h"
#include "gui/Language.h"
#include "gui/screenshots/PictureReader.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QMovie>
#include <QScreen>

frmScreen::frmScreen(QWidget *owner, const QString &entry, const QString &path, bool several,
                     const QStringList &pictures, int position)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint)
    , m_entry(entry)
    , m_path(path)
    , m_several(several)
    , m_pictures(pictures)
    , m_position(position)
{
    setObjectName(QStringLiteral("frmScreen"));
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Form_Load();
}

frmScreen::~frmScreen() = default;

void frmScreen::Form_Load()
{
    SetWindowIcon(this, QStringLiteral("AAA"), true);
    if (m_several) {
        m_last = int(m_pictures.size()) - 1;
        m_position = std::clamp(m_position, 0, std::max(m_last, 0));
    }
    if (!QFileInfo(m_path).isFile())
        return;
    ShowTitleBar(this, false);
    const bool slang = zv::readOption(zv::Option::Lang) == zv::kLangAlternative;
    setWindowTitle((slang ? QStringLiteral("Малюног к ") : QStringLiteral("Скриншот к ")) + m_entry);
    if (!showPicture(m_path)) {
        zv::showMessage(parentWidget(),
                        QStringLiteral("Не удалось показать скриншот ") + QFileInfo(m_path).fileName() +
                            QStringLiteral(": файл повреждён или не является изображением."),
                        zv::MessageForm::OkExclamation);
        return;
    }
    ApplyWindowSettings(this);
    m_loaded = true;
}

QSize frmScreen::screenBounds() const
{
    const QScreen *screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry().size() : QSize();
}

bool frmScreen::showPicture(const QString &path)
{
    const zv::PictureHeader header = zv::readPictureHeader(path);
    if (!header.readable)
        return false;
    const QSize bounds = screenBounds();
    QSize shown;
    QMovie *movie = nullptr;
    QPixmap still;
    if (header.animated && header.size.isValid()) {
        movie = new QMovie(path, QByteArray(), this);
        shown = zv::shownSize(header.size, bounds);
        if (shown != header.size)
            movie->setScaledSize(shown);
        if (!movie->isValid()) {
            delete movie;
            return false;
        }
    } else {
        const QImage image = zv::readPicture(path, bounds);
        if (image.isNull())
            return false;
        shown = image.size();
        still = QPixmap::fromImage(image);
    }
    // Only the picture shown now stays decoded.
    if (m_movie) {
        m_movie->stop();
        delete m_movie;
    }
    Image1->clear();
    if (movie) {
        m_movie = movie;
        Image1->setMovie(movie);
        movie->start();
    } else {
        Image1->setPixmap(still);
    }
    Image1->setGeometry(0, 0, shown.width(), shown.height());
    setFixedSize(shown);
    m_shownPath = path;
    return true;
}

void frmScreen::centre()
{
    const QScreen *screen = this->screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
}

void frmScreen::stepForward()
{
    step(+1);
}

void frmScreen::stepBack()
{
    step(-1);
}

void frmScreen::step(int direction)
{
    if (!m_several || m_pictures.isEmpty())
        return;
    const QString folder = zv::screenshots::folder();
    // A picture deleted or damaged meanwhile is passed over; with none left to show the viewer closes.
    for (int tries = 0; tries <= m_last; ++tries) {
        if (direction > 0) {
            m_position = m_position + 1 > m_last ? 0 : m_position + 1;
        } else {
            m_position = m_position - 1 < 0 ? m_last : m_position - 1;
            m_position = std::max(m_position, 0);
        }
        if (showPicture(folder + QLatin1Char('/') + m_pictures.at(m_position))) {
            centre();
            return;
        }
    }
    close();
}

void frmScreen::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Escape:
        close();
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        stepForward();
        break;
    case Qt::Key_Left:
    case Qt::Key_Up:
        stepBack();
        break;
    default:
        break;
    }
}

void frmScreen::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
}

void frmScreen::mouseReleaseEvent(QMouseEvent *event)
{
    // A click on the picture, which covers the whole window.
    if (m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        close();
    m_pressed = false;
}

void frmScreen::showEvent(QShowEvent *event)
{
    centre();
    QDialog::showEvent(event);
}
