#pragma once

#include <QString>

class QDialog;
class QLabel;
class QWidget;

namespace zv {

// What the two entry editors share: the window's look and the decorative emblem.
void setUpEditorWindow(QDialog *window, const QString &caption, int clientWidth, int clientHeight);
QLabel *addEmblem(QWidget *window, int left, int top);

// "Поля не могут оставатся пустыми!" when either field is empty (blanks count as content).
bool refuseEmptyFields(QWidget *owner, const QString &name, const QString &text);

// Tells that the entry `name` is no longer in the catalogue (another program removed or renamed
// it) and that the category's list has been loaded again.
void reportRecordGone(QWidget *owner, const QString &name);

// Another program changed the entry's text while the user worked on it: true when the user
// keeps their own text over the stored one.
bool askKeepOwnText(QWidget *owner, const QString &name);

} // namespace zv
