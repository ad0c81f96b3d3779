#include "gui/history/ChangeTexts.h"

namespace {

EntrySide sideText(const QString &table, const zv::history::RecordSide &side, const zv::CatalogueConnection &catalogue)
{
    EntrySide entry;
    entry.exists = true;
    entry.name = side.name;
    if (side.hasText) {
        entry.text = side.text;
        return entry;
    }
    if (!catalogue)
        return entry;
    try {
        const zv::FindResult now = FindRecord(catalogue, table, side.rowId, side.name);
        if (now.found() && zv::history::textHash(now.ref) == side.textHash)
            entry.text = now.ref;
    } catch (const zv::CatalogueError &) {
        // A category or record the catalogue no longer has: the text stays unknown.
    }
    return entry;
}

} // namespace

ChangeTexts changeTexts(const zv::history::Change &change, const zv::CatalogueConnection &catalogue)
{
    ChangeTexts texts;
    for (const zv::history::RecordStep &step : change.records) {
        if (!texts.before.exists && step.before.exists())
            texts.before = sideText(step.table, step.before, catalogue);
        if (!texts.after.exists && step.after.exists())
            texts.after = sideText(step.table, step.after, catalogue);
    }
    return texts;
}
