#include "gui/history/JournalModel.h"

#include "core/store/Category.h"

#include <QBrush>
#include <QPalette>

using zv::history::ChangeKind;
using zv::history::ChangeState;

namespace {

QString categoryName(const QString &table)
{
    const auto category = zv::categoryByTable(table);
    return category ? category->displayName : table;
}

// "1 запись", "3 записи", "500 записей".
QString entriesCount(int count)
{
    const int lastTwo = count % 100;
    const int last = count % 10;
    const char *word = (lastTwo >= 11 && lastTwo <= 14) ? "записей"
                       : last == 1                      ? "запись"
                       : (last >= 2 && last <= 4)       ? "записи"
                                                        : "записей";
    return QString::number(count) + QLatin1Char(' ') + QString::fromUtf8(word);
}

} // namespace

QString changeWhat(const zv::history::ChangeSummary &change)
{
    QString what;
    switch (change.kind) {
    case ChangeKind::Added:
        what = QStringLiteral("добавлена");
        break;
    case ChangeKind::Edited:
        what = QStringLiteral("изменена");
        break;
    case ChangeKind::Deleted:
        what = QStringLiteral("удалена");
        break;
    case ChangeKind::Moved:
        what = QStringLiteral("перенесена в «") + categoryName(change.target) + QStringLiteral("»");
        break;
    case ChangeKind::Update:
        what = QStringLiteral("обновление: ") + entriesCount(change.count);
        break;
    case ChangeKind::Picture:
        what = QStringLiteral("скриншот");
        break;
    case ChangeKind::Restored:
        what = QStringLiteral("восстановлена");
        break;
    case ChangeKind::Import:
        what = QStringLiteral("импорт: ") + entriesCount(change.count);
        break;
    }
    if (change.state == ChangeState::Undone)
        what += QStringLiteral(" (отменено)");
    else if (change.state == ChangeState::Passed)
        what += QStringLiteral(" (отменено, вернуть нельзя)");
    return what;
}

void JournalModel::setChanges(std::vector<zv::history::ChangeSummary> changes)
{
    beginResetModel();
    m_changes = std::move(changes);
    endResetModel();
}

int JournalModel::rowOf(qint64 id) const
{
    for (std::size_t row = 0; row < m_changes.size(); ++row)
        if (m_changes[row].id == id)
            return int(row);
    return -1;
}

int JournalModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_changes.size());
}

int JournalModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant JournalModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const zv::history::ChangeSummary &change = m_changes[std::size_t(index.row())];
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) {
        QString text;
        switch (index.column()) {
        case When:
            text = change.at.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
            break;
        case What:
            text = changeWhat(change);
            break;
        case Category:
            text = categoryName(change.table);
            break;
        case Entry:
            text = change.name;
            break;
        }
        // A screen reader is told of an empty cell (an update has no entry of its own).
        if (role == Qt::AccessibleTextRole && text.isEmpty())
            return QStringLiteral("нет");
        return text;
    }
    // What was taken back is shown paler than what is in effect.
    if (role == Qt::ForegroundRole && change.state != ChangeState::Done)
        return QBrush(QPalette().color(QPalette::Disabled, QPalette::Text));
    return {};
}

QVariant JournalModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case When:
        return QStringLiteral("Когда");
    case What:
        return QStringLiteral("Что");
    case Category:
        return QStringLiteral("Раздел");
    case Entry:
        return QStringLiteral("Запись");
    }
    return {};
}
