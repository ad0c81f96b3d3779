#pragma once

#include <QDateTime>
#include <QString>

#include <vector>

namespace zv::history {

// What a change did, as the journal names it.
enum class ChangeKind {
    Added = 0,
    Edited = 1,
    Deleted = 2,
    Moved = 3,
    Update = 4,
    Picture = 5,
    Restored = 6,
    Import = 7
};

// Done: in effect. Undone: taken back, and may be redone. Passed: taken back, then another
// change was made, so it can no longer be redone (the journal still shows it).
// The others are written ahead of the catalogue's commit and settled right after it: one found
// at the next opening means the program was stopped in between (see JointCommit.h).
enum class ChangeState { Done = 0, Undone = 1, Passed = 2, Waiting = 3, UndoWaiting = 4, RedoWaiting = 5 };

// One side of a record's change. A record that is not there has no row id. The text is kept
// only for the side that is not in the catalogue: the side that is can be read there, and is
// recognised by its hash until then.
struct RecordSide
{
    qint64 rowId = -1;
    QString name;
    QString text;
    bool hasText = false;
    qint64 textHash = 0;

    bool exists() const { return rowId >= 0; }
};

// One record of a category table, before and after the change.
struct RecordStep
{
    QString table;
    RecordSide before;
    RecordSide after;
};

// One picture file of the screenshot folder, before and after: the key of its content among the
// kept pictures, empty when there was no such file.
struct PictureStep
{
    QString fileName;
    QString before;
    QString after;
};

struct Change
{
    qint64 id = -1;
    QDateTime at;
    ChangeKind kind = ChangeKind::Added;
    ChangeState state = ChangeState::Done;
    QString table;  // the category it concerns (of a move: where it came from)
    QString name;   // the entry's name after the change (before it, for a delete)
    QString target; // of a move: the category it went to
    int count = 0;  // of an update: how many entries it added; of an import, how many it wrote
    std::vector<RecordStep> records;
    std::vector<PictureStep> pictures;
};

// The hash that recognises a text in the catalogue without keeping it.
qint64 textHash(const QString &text);

// A side as it is when its text is at hand.
RecordSide sideOf(qint64 rowId, const QString &name, const QString &text, bool keepText);

} // namespace zv::history
