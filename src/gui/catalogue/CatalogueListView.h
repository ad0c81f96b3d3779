#pragma once

#include "core/store/NameList.h"

#include <QString>

class QWidget;

// What the windows opened from the main window (editor, update manager) use of its
// entry list, category selector and counter label.
class CatalogueListView
{
public:
    virtual ~CatalogueListView() = default;

    // The display name of the category shown (the selector's text).
    virtual QString categoryDisplayName() const = 0;
    // The list's names, to read (from any thread while nothing changes them, e.g. to prepare
    // a batch with NameList::prepareInsert).
    virtual const zv::NameList &nameList() const = 0;
    virtual int listCount() const = 0;
    // True when the list holds `name`, ignoring letter case (core/LetterCase.h).
    virtual bool listContainsName(const QString &name) const = 0;
    // Adds a name, with its record id, at its sorted place.
    virtual void addListName(const QString &name, qint64 rowId) = 0;
    // Adds a batch of names prepared with nameList().prepareInsert().
    virtual void addListNames(zv::NameList::Merge merge) = 0;
    // The counter label lblCount.
    virtual void setCountText(const QString &text) = 0;
    // The main window itself, as the owner of dialogs.
    virtual QWidget *ownerWindow() = 0;
};
