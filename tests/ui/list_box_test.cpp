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

TEST_F(ListBoxTest, makesAnEntryCurrentWithoutSelectingIt) {
    EXPECT_EQ(list.currentIndex(), db::kNoEntry);
    list.setCurrentIndex(2);
    EXPECT_EQ(list.currentIndex(), 2);
    EXPECT_EQ(list.selectedCount(), 0);
    list.setSelected(0, true);
    list.setSelected(3, true);
    EXPECT_EQ(list.selectedCount(), 2);
    EXPECT_TRUE(list.isSelected(3));
    EXPECT_FALSE(list.isSelected(2));
    EXPECT_EQ(list.currentIndex(), 2) << "selecting does not move the current entry";
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
