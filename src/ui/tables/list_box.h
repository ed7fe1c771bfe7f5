// A table list shown in a list widget of the table manager window. Entries stay in the order
// they are added (the widget does not sort). Removing the current entry leaves no entry
// current; removing one above it keeps the same entry current. Marking every entry is one step
// of the widget's selection model, so the widget tells of it once, however long the list.
#pragma once

#include "db/table_list.h"

class QListWidget;
class QListWidgetItem;

namespace ui {

class ListBox : public db::TableList {
public:
    explicit ListBox(QListWidget& widget) : m_widget(widget) {}

    int count() const override;
    QString text(int index) const override;
    int currentIndex() const override;
    void setCurrentIndex(int index) override;
    bool isSelected(int index) const override;
    void setSelected(int index, bool selected) override;
    void setAllSelected(bool selected) override;
    int selectedCount() const override;
    void addItem(const QString& text) override;
    void removeItem(int index) override;
    void clear() override;

private:
    // Throws std::out_of_range for an index that names no entry.
    QListWidgetItem& entry(int index) const;

    QListWidget& m_widget;
};

}  // namespace ui
