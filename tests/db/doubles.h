// Stand-ins for the windows in tests of the database routines: table lists held in memory, the
// four database texts as plain values, and a pair of lists that counts how often each is asked
// for (the table manager window is created on the first such reference).
#pragma once

#include "db/database_texts.h"
#include "db/table_list.h"

#include <QString>
#include <QStringList>

#include <stdexcept>
#include <vector>

namespace support {

class MemoryTableList : public db::TableList {
public:
    MemoryTableList() = default;
    explicit MemoryTableList(const QStringList& entries) {
        for (const QString& entry : entries) addItem(entry);
    }

    QStringList entries() const {
        QStringList texts;
        for (const Entry& entry : m_entries) texts.append(entry.text);
        return texts;
    }

    int count() const override { return static_cast<int>(m_entries.size()); }
    QString text(int index) const override { return at(index).text; }
    int currentIndex() const override { return m_current; }
    void setCurrentIndex(int index) override {
        if (index != db::kNoEntry) at(index);
        m_current = index;
    }
    bool isSelected(int index) const override { return at(index).selected; }
    void setSelected(int index, bool selected) override {
        at(index).selected = selected;
        m_current = index;
    }
    void setAllSelected(bool selected) override {
        for (Entry& entry : m_entries) entry.selected = selected;
        if (!m_entries.empty()) m_current = count() - 1;
    }
    int selectedCount() const override {
        int selected = 0;
        for (const Entry& entry : m_entries) selected += entry.selected ? 1 : 0;
        return selected;
    }
    void addItem(const QString& text) override { m_entries.push_back({text, false}); }
    void removeItem(int index) override {
        at(index);
        m_entries.erase(m_entries.begin() + index);
        if (m_current == index) {
            m_current = db::kNoEntry;
        } else if (m_current > index) {
            --m_current;
        }
    }
    void clear() override {
        m_entries.clear();
        m_current = db::kNoEntry;
    }

private:
    struct Entry {
        QString text;
        bool selected = false;
    };
    const Entry& at(int index) const {
        if (index < 0 || index >= count()) throw std::out_of_range("Invalid property array index");
        return m_entries[static_cast<size_t>(index)];
    }
    Entry& at(int index) {
        return const_cast<Entry&>(static_cast<const MemoryTableList*>(this)->at(index));
    }

    std::vector<Entry> m_entries;
    int m_current = db::kNoEntry;
};

struct FixedTexts : db::DatabaseTexts {
    QString path1, password1, path2, password2;

    QString Text1() const override { return path1; }
    QString Text2() const override { return password1; }
    QString Text3() const override { return path2; }
    QString Text4() const override { return password2; }
};

// The pair of lists the routines reach, counting the references to either.
struct CountedLists : db::TableLists {
    CountedLists(db::TableList& one, db::TableList& two) : list1(one), list2(two) {}

    db::TableList& List1() override {
        ++references;
        return list1;
    }
    db::TableList& List2() override {
        ++references;
        return list2;
    }

    db::TableList& list1;
    db::TableList& list2;
    int references = 0;
};

}  // namespace support
