// A table list of the table manager window: the table names of one database, in order, any
// number of them selected, and one current entry (or none). Indexes start at 0.
//
// The current entry and the selection are different things: making an entry current does not
// select it. Marking an entry selected or not, though, makes it the current entry, as a list
// box's selection property does on the platform the program was written for; so after every
// entry has been marked, the last one is current.
#pragma once

#include <QString>

namespace db {

inline constexpr int kNoEntry = -1;

class TableList {
public:
    virtual ~TableList() = default;

    virtual int count() const = 0;
    virtual QString text(int index) const = 0;

    // The current entry's index, or kNoEntry.
    virtual int currentIndex() const = 0;
    // Makes the entry current without selecting it.
    virtual void setCurrentIndex(int index) = 0;

    virtual bool isSelected(int index) const = 0;
    // Marks the entry and makes it current.
    virtual void setSelected(int index, bool selected) = 0;
    // Marks every entry at once, ending as marking each in turn from the first would: the last
    // entry current. An empty list stays as it is.
    virtual void setAllSelected(bool selected) = 0;
    virtual int selectedCount() const = 0;

    // Appends an entry at the end.
    virtual void addItem(const QString& text) = 0;
    virtual void removeItem(int index) = 0;
    // Removes every entry; no entry is current afterwards.
    virtual void clear() = 0;
};

// The two table lists. The table manager window holds them and is created on the first
// reference to either, so asking for a list may create that window (hidden).
class TableLists {
public:
    virtual ~TableLists() = default;

    virtual TableList& List1() = 0;  // tables of database #1
    virtual TableList& List2() = 0;  // tables of database #2
};

}  // namespace db
