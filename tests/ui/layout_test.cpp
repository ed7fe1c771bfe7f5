#include "app/window_helpers.h"
#include "ui/layouts/application_icon.h"
#include "ui/layouts/twips.h"

#include "program_harness.h"
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace ui {
namespace {

TEST(TwipScale, takesFifteenTwipsToThePixelAtNinetySixDotsPerInch) {
    const TwipScale scale(96, 96);
    EXPECT_EQ(scale.pixelsAcross(15), 1);
    EXPECT_EQ(scale.pixelsDown(1440), 96);
    EXPECT_EQ(scale.pixelsDown(3020), 201);    // 201.33
    EXPECT_EQ(scale.pixelsAcross(1960), 131);  // 130.67
    EXPECT_EQ(scale.pixels({120, 300, 4695, 345}), QRect(8, 20, 313, 23));
    const TwipScale large(144, 120);
    EXPECT_EQ(large.pixels({1440, 1440, 720, 720}), QRect(144, 120, 72, 60));
}

enum class Font { None, Arial9Bold, Arial1125Bold };

struct Designed {
    const char* name;
    const char* container;
    const char* caption;
    TwipRect rect;
    Font font;
};

// Checks one control against its design: container, position relative to it, size, caption
// and font.
void expectDesigned(QWidget& window, const Designed& design) {
    SCOPED_TRACE(design.name);
    auto* control = window.findChild<QWidget*>(QString::fromLatin1(design.name));
    ASSERT_NE(control, nullptr);
    const TwipScale scale = TwipScale::of(window);
    EXPECT_EQ(control->geometry(), scale.pixels(design.rect));
    const QWidget* container = control->parentWidget();
    EXPECT_EQ(container == &window ? QStringLiteral("window") : container->objectName(),
              QString::fromLatin1(design.container));
    QString caption;
    if (auto* frame = qobject_cast<QGroupBox*>(control)) caption = frame->title();
    if (auto* label = qobject_cast<QLabel*>(control)) caption = label->text();
    if (auto* button = qobject_cast<QPushButton*>(control)) caption = button->text();
    if (auto* textBox = qobject_cast<QLineEdit*>(control)) caption = textBox->text();
    EXPECT_EQ(caption, QString::fromLatin1(design.caption));
    if (design.font != Font::None) {
        const QFont font = control->font();
        EXPECT_EQ(font.family(), QStringLiteral("Arial"));
        EXPECT_EQ(font.pointSizeF(), design.font == Font::Arial9Bold ? 9.0 : 11.25);
        EXPECT_EQ(font.weight(), QFont::Bold);
        EXPECT_FALSE(font.italic());
        EXPECT_FALSE(font.underline());
    }
}

// The controls that Tab reaches, in the order it reaches them, starting from the first.
QStringList focusOrder(QWidget& window, const char* first) {
    QStringList order;
    QWidget* start = window.findChild<QWidget*>(QString::fromLatin1(first));
    QWidget* widget = start;
    do {
        if ((widget->focusPolicy() & Qt::TabFocus) != 0 && window.isAncestorOf(widget) &&
            !widget->objectName().isEmpty()) {
            order.append(widget->objectName());
        }
        widget = widget->nextInFocusChain();
    } while (widget != start);
    return order;
}

class DesignedLayout : public ::testing::Test {
protected:
    support::ProgramHarness harness;
};

TEST_F(DesignedLayout, placesEveryControlOfTheSelectionWindow) {
    QWidget& window = harness.form1();
    const TwipScale scale = TwipScale::of(window);
    EXPECT_EQ(window.minimumSize(), QSize(scale.pixelsAcross(8040), scale.pixelsDown(3540)));
    EXPECT_EQ(window.maximumSize(), window.minimumSize()) << "a fixed-size window";
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Form1"));
    EXPECT_EQ(window.font().family(), QStringLiteral("Arial"));
    EXPECT_EQ(window.font().pointSizeF(), 9.0);
    EXPECT_EQ(window.font().weight(), QFont::Normal);

    using enum Font;
    for (const Designed& design : {
             Designed{"Frame1", "window", "Access Database #1", {120, 120, 7800, 1335}, Arial9Bold},
             Designed{"Label5", "Frame1", "MDB or ACCDB File:", {240, 345, 1935, 255}, Arial9Bold},
             Designed{"Text1", "Frame1", "", {2280, 300, 4695, 345}, Arial9Bold},
             Designed{"PushButton1", "Frame1", "...", {7080, 300, 450, 345}, Arial1125Bold},
             Designed{"lblPassword",
                      "Frame1",
                      "Password (if required):",
                      {240, 840, 1950, 225},
                      Arial9Bold},
             Designed{"Text2", "Frame1", "", {2280, 800, 5265, 345}, Arial9Bold},
             Designed{"Frame2",
                      "window",
                      "Access Database #2 (Can be the same file as Database #1)",
                      {120, 1560, 7800, 1335},
                      Arial9Bold},
             Designed{"Label1", "Frame2", "MDB or ACCDB File:", {240, 345, 1935, 255}, Arial9Bold},
             Designed{"Text3", "Frame2", "", {2280, 300, 4695, 345}, Arial9Bold},
             Designed{"PushButton3", "Frame2", "...", {7080, 300, 450, 345}, Arial1125Bold},
             Designed{
                 "Label2", "Frame2", "Password (if required):", {240, 840, 1950, 225}, Arial9Bold},
             Designed{"Text4", "Frame2", "", {2280, 800, 5265, 345}, Arial9Bold},
             Designed{"PushButton4",
                      "window",
                      "Load Sample/Example Database",
                      {120, 3020, 3840, 405},
                      Arial1125Bold},
             Designed{"PushButton2", "window", "Next >", {4080, 3020, 3840, 405}, Arial1125Bold},
         }) {
        expectDesigned(window, design);
    }
    EXPECT_EQ(focusOrder(window, "Text1"),
              (QStringList{"Text1", "PushButton1", "Text2", "Text3", "PushButton3", "Text4",
                           "PushButton2", "PushButton4"}));
}

TEST_F(DesignedLayout, placesEveryControlOfTheTableManagerWindow) {
    QWidget& window = harness.form2();
    const TwipScale scale = TwipScale::of(window);
    EXPECT_EQ(window.width(), scale.pixelsAcross(8040));
    EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "a fixed-size window";
    EXPECT_EQ(window.font().weight(), QFont::Bold);

    using enum Font;
    for (const Designed& design : {
             Designed{"Frame1", "window", "Access #1 Tables", {120, 120, 3840, 4215}, Arial9Bold},
             Designed{"List1", "Frame1", "", {240, 360, 3330, 1635}, Arial9Bold},
             Designed{"PushButton1", "Frame1", "Select All", {240, 2100, 1600, 400}, Arial1125Bold},
             Designed{
                 "PushButton2", "Frame1", "Deselect All", {1960, 2100, 1605, 405}, Arial1125Bold},
             Designed{"PushButton3",
                      "Frame1",
                      "Send To Access #2",
                      {240, 2600, 3330, 400},
                      Arial1125Bold},
             Designed{
                 "PushButton4", "Frame1", "Delete Table(s)", {240, 3100, 3330, 400}, Arial1125Bold},
             Designed{
                 "PushButton5", "Frame1", "Rename Table", {240, 3600, 3330, 400}, Arial1125Bold},
             Designed{"Frame2", "window", "Access #2 Tables", {4080, 120, 3840, 4215}, Arial9Bold},
             Designed{"List2", "Frame2", "", {240, 360, 3330, 1635}, Arial9Bold},
             Designed{"PushButton6", "Frame2", "Select All", {240, 2100, 1600, 400}, Arial1125Bold},
             Designed{
                 "PushButton7", "Frame2", "Deselect All", {1960, 2100, 1600, 400}, Arial1125Bold},
             Designed{"PushButton8",
                      "Frame2",
                      "Send To Access #1",
                      {240, 2600, 3330, 400},
                      Arial1125Bold},
             Designed{
                 "PushButton9", "Frame2", "Delete Table(s)", {240, 3100, 3330, 400}, Arial1125Bold},
             Designed{
                 "PushButton10", "Frame2", "Rename Table", {240, 3600, 3330, 400}, Arial1125Bold},
             Designed{"ProgressBar1", "window", "", {120, 4455, 7800, 405}, None},
             Designed{"PushButton11", "window", "< Back", {120, 4980, 3840, 405}, Arial1125Bold},
             Designed{"PushButton12", "window", "Help", {4080, 4980, 3840, 405}, Arial1125Bold},
         }) {
        expectDesigned(window, design);
    }
    EXPECT_EQ(
        focusOrder(window, "List2"),
        (QStringList{"List2", "List1", "PushButton1", "PushButton2", "PushButton3", "PushButton4",
                     "PushButton5", "PushButton6", "PushButton7", "PushButton8", "PushButton9",
                     "PushButton10", "PushButton11", "PushButton12"}));
}

TEST_F(DesignedLayout, theBottomButtonsOfBothWindowsSplitTheClientWidth) {
    for (QWidget* window :
         {static_cast<QWidget*>(&harness.form1()), static_cast<QWidget*>(&harness.form2())}) {
        const auto bottom = window->findChildren<QPushButton*>();
        QList<QPushButton*> row;
        for (QPushButton* button : bottom) {
            if (button->parentWidget() == window) row.append(button);
        }
        ASSERT_EQ(row.size(), 2);
        std::sort(row.begin(), row.end(),
                  [](const QPushButton* a, const QPushButton* b) { return a->x() < b->x(); });
        const int margin = row[0]->x();
        EXPECT_EQ(row[0]->width(), row[1]->width());
        EXPECT_EQ(row[1]->x() - (row[0]->x() + row[0]->width()), margin);
        EXPECT_EQ(window->width() - (row[1]->x() + row[1]->width()), margin);
    }
}

TEST_F(DesignedLayout, movingAFrameMovesItsControls) {
    auto& frame = harness.in1<QGroupBox>("Frame1");
    auto& path = harness.in1<QLineEdit>("Text1");
    const QPoint before = path.mapTo(&harness.form1(), QPoint(0, 0));
    frame.move(frame.pos() + QPoint(30, 12));
    EXPECT_EQ(path.mapTo(&harness.form1(), QPoint(0, 0)), before + QPoint(30, 12));
}

TEST_F(DesignedLayout, passwordBoxesShowAStarForEachCharacter) {
    for (const char* name : {"Text2", "Text4"}) {
        auto& box = harness.in1<QLineEdit>(name);
        QTest::keyClicks(&box, QStringLiteral("p a$s"));
        EXPECT_EQ(box.displayText(), QStringLiteral("*****")) << name;
        EXPECT_EQ(box.text(), QStringLiteral("p a$s")) << name;
    }
}

TEST_F(DesignedLayout, tableListsTakeSeveralSelectedEntries) {
    auto& list = harness.in2<QListWidget>("List1");
    list.addItems({"Customers", "Orders", "Products"});
    harness.form2().show();
    for (const int row : {0, 2}) {
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                          list.visualItemRect(list.item(row)).center());
    }
    EXPECT_TRUE(list.item(0)->isSelected());
    EXPECT_FALSE(list.item(1)->isSelected());
    EXPECT_TRUE(list.item(2)->isSelected());
}

TEST(ApplicationIcon, hasFourImagesOnlyTheSmallestWithoutTransparency) {
    const std::vector<QImage> images = applicationIconImages();
    ASSERT_EQ(images.size(), 4u);
    const int sizes[] = {256, 128, 48, 32};
    for (size_t index = 0; index < images.size(); ++index) {
        const QImage& image = images[index];
        SCOPED_TRACE(image.width());
        EXPECT_EQ(image.size(), QSize(sizes[index], sizes[index]));
        const bool smallest = sizes[index] == 32;
        EXPECT_EQ(image.depth(), smallest ? 24 : 32);
        EXPECT_EQ(image.hasAlphaChannel(), !smallest);
        // A tile with rounded corners: the corner shows through, the middle does not.
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), smallest ? 255 : 0);
        EXPECT_EQ(qAlpha(image.pixel(image.width() / 2, image.height() / 2)), 255);
        EXPECT_GT(image.convertToFormat(QImage::Format_Indexed8).colorCount(), 8)
            << "a drawing, not a plain square";
    }
}

}  // namespace
}  // namespace ui
