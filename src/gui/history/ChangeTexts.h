#pragma once

#include "core/history/Change.h"
#include "core/store/CatalogueStore.h"

#include <QString>

#include <optional>

// The entry a change concerns, as it was before the change and as the change left it.
struct EntrySide
{
    bool exists = false;
    QString name;
    // Empty when the history did not keep it and the catalogue no longer holds it as the change
    // left it (another program or a later change has changed it since).
    std::optional<QString> text;
};

struct ChangeTexts
{
    EntrySide before;
    EntrySide after;
};

// The two sides of a change of one entry (an add, edit, delete, move or restore; a move's sides
// lie in two categories). A side the history keeps no text for is read from `catalogue`, where
// it still is, and taken only when its text is the one the change left.
ChangeTexts changeTexts(const zv::history::Change &change, const zv::CatalogueConnection &catalogue);
