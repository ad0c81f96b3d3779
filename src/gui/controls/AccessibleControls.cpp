#include "gui/controls/AccessibleControls.h"

#include "gui/controls/EventLabel.h"
#include "gui/controls/VistaButton.h"

#include <QAccessibleWidget>
#include <QMetaObject>

namespace {

// What the control's caption does not say: the name a host gave, else the control's own text.
QString nameOr(const QWidget *widget, const QString &own)
{
    return widget->accessibleName().isEmpty() ? own : widget->accessibleName();
}

QString descriptionOf(const QWidget *widget)
{
    return widget->accessibleDescription().isEmpty() ? widget->toolTip() : widget->accessibleDescription();
}

// A push button whose press does what a click does. The click is queued: a window it opens as a
// dialog runs after the assistive technology has had its answer.
class AccessiblePressable : public QAccessibleWidget
{
public:
    using QAccessibleWidget::QAccessibleWidget;

    QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }
    QStringList keyBindingsForAction(const QString &action) const override
    {
        return action == pressAction() ? QStringList{QStringLiteral("Space")} : QStringList{};
    }
    void doAction(const QString &action) override
    {
        if (action != pressAction()) {
            QAccessibleWidget::doAction(action);
            return;
        }
        if (widget()->isEnabled())
            QMetaObject::invokeMethod(
                widget(), [w = widget()] { press(w); }, Qt::QueuedConnection);
    }

private:
    // Each pressable control has an invokable click() that does what its mouse click does.
    static void press(QWidget *w) { QMetaObject::invokeMethod(w, "click"); }
};

class AccessibleVistaButton : public AccessiblePressable
{
public:
    explicit AccessibleVistaButton(VistaButton *button)
        : AccessiblePressable(button, QAccessible::Button)
    {
    }

    // The caption label is part of the button, not an object of its own.
    int childCount() const override { return 0; }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text t) const override
    {
        const auto *button = static_cast<const VistaButton *>(widget());
        switch (t) {
        case QAccessible::Name:
            return nameOr(button, button->Caption());
        case QAccessible::Description:
            return descriptionOf(button);
        default:
            return QAccessibleWidget::text(t);
        }
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.pressed = static_cast<const VistaButton *>(widget())->showsPressedFace();
        return s;
    }
};

class AccessibleEventLabel : public AccessiblePressable
{
public:
    explicit AccessibleEventLabel(EventLabel *label)
        : AccessiblePressable(label)
    {
    }

    // Asked anew each time: a host may make a label clickable or give it text after it was first seen.
    QAccessible::Role role() const override { return roleOf(static_cast<const EventLabel *>(widget())); }

    QString text(QAccessible::Text t) const override
    {
        const auto *label = static_cast<const EventLabel *>(widget());
        switch (t) {
        case QAccessible::Name:
            // A picture is named by its tooltip, as a sighted user learns what it does.
            return nameOr(label, label->text().trimmed().isEmpty() ? label->toolTip() : label->text().simplified());
        case QAccessible::Description:
            return descriptionOf(label);
        default:
            return QAccessibleWidget::text(t);
        }
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        if (role() == QAccessible::Graphic)
            s.invisible = true; // only decorates: nothing to read
        if (!static_cast<const EventLabel *>(widget())->isClickable())
            s.focusable = false;
        return s;
    }

    QStringList actionNames() const override
    {
        return static_cast<const EventLabel *>(widget())->isClickable() ? AccessiblePressable::actionNames()
                                                                        : QStringList{};
    }
    void doAction(const QString &action) override
    {
        if (static_cast<const EventLabel *>(widget())->isClickable())
            AccessiblePressable::doAction(action);
    }

private:
    static QAccessible::Role roleOf(const EventLabel *label)
    {
        if (label->isClickable())
            return QAccessible::Button;
        const bool named = !label->text().trimmed().isEmpty() || !label->accessibleName().isEmpty();
        return named ? QAccessible::StaticText : QAccessible::Graphic;
    }
};

const char *const kDecorative = "zvDecorative";
const char *const kPressableWindow = "zvPressableWindow";

// Seen, but with nothing to say: a screen reader skips what is not showing.
class AccessibleDecoration : public QAccessibleWidget
{
public:
    explicit AccessibleDecoration(QWidget *picture)
        : QAccessibleWidget(picture, QAccessible::Graphic)
    {
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.invisible = true;
        s.focusable = false;
        return s;
    }
};

QAccessibleInterface *controlsFactory(const QString &className, QObject *object)
{
    if (object && object->property(kDecorative).toBool() && object->isWidgetType())
        return new AccessibleDecoration(static_cast<QWidget *>(object));
    if (object && object->property(kPressableWindow).toBool() && object->isWidgetType())
        return new AccessiblePressable(static_cast<QWidget *>(object), QAccessible::Window);
    // A top-level window of a plain widget (the main window, the small tool) is a frame, not a filler.
    if (className == QLatin1String("QWidget") && object && object->isWidgetType() &&
        static_cast<QWidget *>(object)->isWindow())
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
    if (className == QLatin1String("VistaButton")) {
        if (auto *button = qobject_cast<VistaButton *>(object))
            return new AccessibleVistaButton(button);
    } else if (className == QLatin1String("EventLabel")) {
        if (auto *label = qobject_cast<EventLabel *>(object))
            return new AccessibleEventLabel(label);
    }
    return nullptr;
}

} // namespace

namespace zv {

void installAccessibleControls()
{
    static const bool installed = [] {
        QAccessible::installFactory(controlsFactory);
        return true;
    }();
    (void)installed;
}

void markPressableWindow(QWidget *window)
{
    installAccessibleControls();
    window->setProperty(kPressableWindow, true);
}

void markDecorative(QWidget *picture)
{
    installAccessibleControls();
    picture->setProperty(kDecorative, true);
}

} // namespace zv
