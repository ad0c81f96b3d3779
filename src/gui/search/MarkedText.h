#pragma once

#include "core/search/MatchRanges.h"

#include <QVariant>

class QTextDocument;

// Matched words shown in plain text: the document's text is set as plain text and the ranges
// get a character format; no markup is ever made out of entry text.
void setMarkedText(QTextDocument &document, const QString &text, const QList<zv::search::TextRange> &ranges,
                   qsizetype rangesOffset = 0);
// Ranges carried in an item's data.
QVariant rangesToVariant(const QList<zv::search::TextRange> &ranges);
QList<zv::search::TextRange> rangesFromVariant(const QVariant &value);
