#include "core/store/EntryMove.h"

namespace zv {

qint64 moveEntry(FindResult &record, const QString &targetTable, const QString &nameToStore, const QString &textToStore)
{
    // Copies: the caller may pass the record's own name and text, which the delete clears.
    const QString name = nameToStore;
    QString text = textToStore;
    // A lookup that found nothing has no connection to start a transaction on; DeleteEntry throws for it.
    if (!record.catalogue)
        DeleteEntry(record);
    const CatalogueConnection catalogue = record.catalogue;
    Catalogue::Transaction transaction(*catalogue);
    try {
        requireUnchangedText(record);
    } catch (const CatalogueError &error) {
        // Another program changed the text since it was read. Unless the user changed it too,
        // the text it holds now is the one that moves.
        if (error.kind() != CatalogueError::Kind::TextChanged || text != record.ref)
            throw;
        text = error.storedText();
    }
    DeleteEntry(record);
    const qint64 id = AddEntry(catalogue, targetTable, name, text);
    transaction.commit();
    return id;
}

} // namespace zv
