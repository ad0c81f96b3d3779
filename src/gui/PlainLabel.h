#pragma once

#include <QLabel>

namespace zv {

// Every label of the program shows its text as it is: names, counters, server texts and the
// captions of Language.ini are data, and a label left to guess would render "<img src=...>".
inline QLabel *plainLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    return label;
}

} // namespace zv
