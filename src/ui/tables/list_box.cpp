#include "ui/tables/list_box.h"

#include <QListWidget>

#include <stdexcept>

namespace ui {

QListWidgetItem& ListBox::entry(int index) const {
    QListWidgetItem* item = m_widget.item(index);
    if (item == nullptr) {
        throw std::out_of_range("Invalid property array index");
    }
    return *item;
}

int ListBox::count() const { return m_widget.count(); }

QString ListBox::text(int index) const { return entry(index).text(); }

int ListBox::currentIndex() const { return m_widget.currentRow(); }

void ListBox::setCurrentIndex(int index) {
    if (index != db::kNoEntry) {
        entry(index);
    }
    m_widget.setCurrentRow(index, QItemSelectionModel::NoUpdate);
}

bool ListBox::isSelected(int index) const { return entry(index).isSelected(); }

void ListBox::setSelected(int index, bool selected) {
    QListWidgetItem& item = entry(index);
    m_widget.setCurrentRow(index, QItemSelectionModel::NoUpdate);
    item.setSelected(selected);
}

void ListBox::setAllSelected(bool selected) {
    const int count = m_widget.count();
    if (count == 0) {
        return;
    }
    const QAbstractItemModel& model = *m_widget.model();
    m_widget.selectionModel()->select(
        QItemSelection(model.index(0, 0), model.index(count - 1, 0)),
        selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
    m_widget.setCurrentRow(count - 1, QItemSelectionModel::NoUpdate);
}

int ListBox::selectedCount() const { return static_cast<int>(m_widget.selectedItems().size()); }

void ListBox::addItem(const QString& text) { m_widget.addItem(text); }

void ListBox::removeItem(int index) {
    entry(index);
    const bool wasCurrent = m_widget.currentRow() == index;
    delete m_widget.takeItem(index);
    if (wasCurrent) {
        m_widget.setCurrentRow(db::kNoEntry, QItemSelectionModel::NoUpdate);
    }
}

void ListBox::clear() { m_widget.clear(); }

}  // namespace ui
