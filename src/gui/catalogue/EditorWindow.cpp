#include "gui/catalogue/EditorWindow.h"

#include "core/Seam.h"
#include "gui/IconMdl.h"
#include "gui/WindowGeometry.h"
#include "gui/controls/AccessibleControls.h"

#include <QDialog>
#include <QIcon>
#include <QLabel>
#include <QScreen>

namespace zv {

void setUpEditorWindow(QDialog *window, const QString &caption, int clientWidth, int clientHeight)
{
    window->setWindowTitle(caption);
    window->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowBackground(window, TextBoxBackground::Window);
    window->setFixedSize(twips(clientWidth), twips(clientHeight));
    if (const QScreen *screen = window->screen())
        window->move(screen->availableGeometry().center() - window->rect().center());
}

QLabel *addEmblem(QWidget *window, int left, int top)
{
    auto *image = new QLabel(window);
    image->setObjectName(QStringLiteral("Image1"));
    image->setPixmap(iconGroup(QStringLiteral("AAA")).pixmap(48, 48));
    placeTwips(image, left, top, 720, 720);
    zv::markDecorative(image);
    return image;
}

bool refuseEmptyFields(QWidget *owner, const QString &name, const QString &text)
{
    if (!name.isEmpty() && !text.isEmpty())
        return false;
    showMessage(owner, QStringLiteral("Поля не могут оставатся пустыми!"), MessageForm::OkExclamation,
                QStringLiteral("Ошибка"));
    return true;
}

void reportRecordGone(QWidget *owner, const QString &name)
{
    showMessage(owner,
                QStringLiteral("Записи «") + name +
                    QStringLiteral("» больше нет в каталоге: её удалили или переименовали в другой программе. "
                                   "Список раздела загружен заново."),
                MessageForm::OkExclamation);
}

bool askKeepOwnText(QWidget *owner, const QString &name)
{
    return showMessage(owner,
                       QStringLiteral("Текст записи «") + name +
                           QStringLiteral("» изменили в другой программе, пока вы с ним работали.\n"
                                          "Оставить ваш вариант? «Нет» оставит текст, сохранённый другой программой."),
                       MessageForm::YesNoQuestion) == MessageAnswer::Yes;
}

} // namespace zv
