#include "ui/tables/list_box.h"

#include "ui/layouts/controls.h"

#include <QListWidget>
#include <QWidget>

#include <gtest/gtest.h>
#include <stdexcept>

namespace ui {
namespace {

class ListBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"Customers", "Orders", "Products", "Suppliers"}) {
            list.addItem(QString::fromLatin1(name));
        }
    }

    QWidget window;
    QListWidget& widget = *addListBox(window, QStringLiteral("List1"), {240, 360, 3330, 1635},
                                      DesignedFont::Arial9Bold);
    ListBox list{widget};
};

TEST_F(ListBoxTest, makesAnEntryCurrentWithoutSelectingItAndMarkingMakesItCurrent) {
    EXPECT_EQ(list.currentIndex(), db::kNoEntry);
    list.setCurrentIndex(2);
    EXPECT_EQ(list.currentIndex(), 2);
    EXPECT_EQ(list.selectedCount(), 0);

    list.setSelected(0, true);
    EXPECT_EQ(list.currentIndex(), 0) << "marking an entry makes it current";
    list.setSelected(3, true);
    EXPECT_EQ(list.currentIndex(), 3);
    EXPECT_EQ(list.selectedCount(), 2);
    EXPECT_TRUE(list.isSelected(3));
    EXPECT_FALSE(list.isSelected(2));
    list.setSelected(1, false);
    EXPECT_EQ(list.currentIndex(), 1) << "so does unmarking one";
    EXPECT_EQ(list.selectedCount(), 2);
    EXPECT_THROW(list.setSelected(4, true), std::out_of_range);
    EXPECT_EQ(list.currentIndex(), 1);
}

TEST_F(ListBoxTest, marksEveryEntryInOneStepEndingOnTheLastEntry) {
    int changes = 0;
    QObject::connect(&widget, &QListWidget::itemSelectionChanged, [&] { ++changes; });
    list.setSelected(1, true);
    changes = 0;

    list.setAllSelected(true);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(list.selectedCount(), 4);
    EXPECT_EQ(list.currentIndex(), 3);

    list.setCurrentIndex(0);
    list.setAllSelected(false);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(list.selectedCount(), 0);
    EXPECT_EQ(list.currentIndex(), 3) << "where unmarking the last entry puts it";

    list.clear();
    changes = 0;
    list.setAllSelected(true);
    EXPECT_EQ(list.currentIndex(), db::kNoEntry);
    EXPECT_EQ(changes, 0) << "an empty list stays as it is";
}

TEST_F(ListBoxTest, removingTheCurrentEntryLeavesNoneCurrent) {
    list.setCurrentIndex(2);
    list.removeItem(0);
    EXPECT_EQ(list.currentIndex(), 1);
    EXPECT_EQ(list.text(1), QStringLiteral("Products"));
    list.removeItem(1);
    EXPECT_EQ(list.currentIndex(), db::kNoEntry);
    EXPECT_EQ(list.count(), 2);
    EXPECT_EQ(list.text(1), QStringLiteral("Suppliers"));
}

TEST_F(ListBoxTest, refusesIndexesThatNameNoEntry) {
    EXPECT_THROW(list.text(4), std::out_of_range);
    EXPECT_THROW(list.removeItem(-1), std::out_of_range);
    EXPECT_THROW(list.setCurrentIndex(7), std::out_of_range);
    EXPECT_EQ(list.count(), 4);
    list.clear();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.currentIndex(), db::kNoEntry);
}

}  // namespace
}  // namespace ui
