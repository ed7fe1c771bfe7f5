#include "app/window_pointer.h"

#include "app/hover_tracker.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace app {
namespace {

// The selection window in miniature: a frame holding a label, a text box and a button; a
// button and a list on the window itself.
class HoverRule : public ::testing::Test {
protected:
    void SetUp() override {
        m_window.resize(400, 300);
        m_frame->setGeometry(10, 10, 300, 100);
        m_label->setGeometry(10, 20, 100, 20);
        m_textBox->setGeometry(120, 20, 100, 20);
        m_frameButton->setGeometry(230, 20, 40, 20);
        m_windowButton->setGeometry(10, 150, 80, 30);
        m_list->setGeometry(100, 150, 200, 100);
        m_tracker.watchButton(*m_frameButton);
        m_tracker.watchButton(*m_windowButton);
        for (QWidget* element :
             std::initializer_list<QWidget*>{&m_window, m_frame, m_textBox, m_list}) {
            m_tracker.watchResetElement(*element);
        }
        m_window.show();
    }

    // Pointer movement as the window system delivers it: to the widget under the pointer.
    static void moveOver(QWidget* widget, QPoint position = QPoint(5, 5)) {
        QMouseEvent move(QEvent::MouseMove, position, widget->mapToGlobal(position), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
    }

    Qt::CursorShape shown() const { return m_window.cursor().shape(); }

    QWidget m_window;
    QGroupBox* m_frame = new QGroupBox(QStringLiteral("Access Database #1"), &m_window);
    QLabel* m_label = new QLabel(QStringLiteral("MDB or ACCDB File:"), m_frame);
    QLineEdit* m_textBox = new QLineEdit(m_frame);
    QPushButton* m_frameButton = new QPushButton(QStringLiteral("..."), m_frame);
    QPushButton* m_windowButton = new QPushButton(QStringLiteral("Next >"), &m_window);
    QListWidget* m_list = new QListWidget(&m_window);
    WindowPointer m_pointer{m_window};
    HoverTracker m_tracker{m_pointer};
};

TEST_F(HoverRule, showsTheHandOverButtonsAndTheArrowOverTheRest) {
    QPixmap hand(8, 8);
    hand.fill(Qt::black);
    m_pointer.setCustomImage(QCursor(hand, 1, 1));

    moveOver(m_frameButton);
    EXPECT_EQ(m_pointer.kind(), PointerKind::Custom);
    EXPECT_EQ(shown(), Qt::BitmapCursor);
    moveOver(&m_window, QPoint(350, 280));
    EXPECT_EQ(m_pointer.kind(), PointerKind::Default);
    EXPECT_EQ(shown(), Qt::ArrowCursor);

    for (QWidget* reset : std::initializer_list<QWidget*>{m_textBox, m_list->viewport()}) {
        moveOver(m_windowButton);
        ASSERT_EQ(m_pointer.kind(), PointerKind::Custom);
        moveOver(reset);
        EXPECT_EQ(m_pointer.kind(), PointerKind::Default) << reset->metaObject()->className();
    }
    moveOver(m_windowButton);
    moveOver(m_frame, QPoint(150, 80));
    EXPECT_EQ(m_pointer.kind(), PointerKind::Default);
}

TEST_F(HoverRule, aLabelWithoutAHandlerKeepsTheHandUntilTheFrameIsReached) {
    moveOver(m_frameButton);
    moveOver(m_label);
    EXPECT_EQ(m_pointer.kind(), PointerKind::Custom);
    moveOver(m_frame, QPoint(150, 80));
    EXPECT_EQ(m_pointer.kind(), PointerKind::Default);
    moveOver(m_label);
    EXPECT_EQ(m_pointer.kind(), PointerKind::Default);
}

TEST_F(HoverRule, neverOverridesBusy) {
    m_pointer.setKind(PointerKind::Busy);
    EXPECT_EQ(shown(), Qt::WaitCursor);
    for (QWidget* element : std::initializer_list<QWidget*>{
             m_frameButton, m_windowButton, m_textBox, m_frame, m_list->viewport(), &m_window}) {
        moveOver(element);
        EXPECT_EQ(m_pointer.kind(), PointerKind::Busy) << element->metaObject()->className();
        EXPECT_EQ(shown(), Qt::WaitCursor);
    }
    m_pointer.setKind(PointerKind::Default);
    moveOver(m_windowButton);
    EXPECT_EQ(m_pointer.kind(), PointerKind::Custom);
}

TEST_F(HoverRule, theCustomKindWithoutAnImageShowsTheArrow) {
    moveOver(m_windowButton);
    EXPECT_EQ(m_pointer.kind(), PointerKind::Custom);
    EXPECT_FALSE(m_pointer.hasCustomImage());
    EXPECT_EQ(shown(), Qt::ArrowCursor);
}

TEST_F(HoverRule, followsRealPointerMovement) {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_window));
    QTest::mouseMove(m_windowButton, QPoint(10, 10));
    EXPECT_EQ(m_pointer.kind(), PointerKind::Custom);
    QTest::mouseMove(&m_window, QPoint(350, 280));
    EXPECT_EQ(m_pointer.kind(), PointerKind::Default);
}

}  // namespace
}  // namespace app
