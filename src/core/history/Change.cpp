#include "core/history/Change.h"

#include <QCryptographicHash>
#include <QtEndian>

namespace zv::history {

qint64 textHash(const QString &text)
{
    // The first eight bytes of SHA-1: a text changed by another program is told from the kept one
    // by this alone, so a weak hash will not do; eight bytes fit SQLite's integer column.
    const QByteArray digest = QCryptographicHash::hash(
        QByteArrayView(reinterpret_cast<const char *>(text.utf16()), text.size() * 2), QCryptographicHash::Sha1);
    return qFromBigEndian<qint64>(digest.constData());
}

RecordSide sideOf(qint64 rowId, const QString &name, const QString &text, bool keepText)
{
    RecordSide side;
    side.rowId = rowId;
    side.name = name;
    side.textHash = textHash(text);
    if (keepText) {
        side.text = text;
        side.hasText = true;
    }
    return side;
}

} // namespace zv::history
