#include "ui/tables/form2.h"

#include "app/cursor_file.h"
#include "app/error_locations.h"
#include "app/error_trap.h"
#include "app/program_folder.h"
#include "app/window_helpers.h"
#include "ui/layouts/application_icon.h"
#include "ui/layouts/twips.h"
#include "ui/tables/list_commands.h"
#include "ui/tables/table_transfer.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QListWidget>
#include <QMoveEvent>
#include <QPushButton>
#include <QShowEvent>

namespace ui {
namespace {

// The window's outer height reaches this far below the bottom row of buttons.
constexpr int kMarginBelowBottomRowTwips = 580;

}  // namespace

Form2::Form2(const db::Session& session, QWidget* parent)
    : QWidget(parent),
      m_session(session),
      m_layout(buildForm2Layout(*this)),
      m_list1(*m_layout.List1),
      m_list2(*m_layout.List2),
      m_pointer(*this),
      m_hover(m_pointer, this) {
    watchPointer();
    connectButtons();
    Form_Load();
}

void Form2::watchPointer() {
    for (QPushButton* button :
         {m_layout.PushButton1, m_layout.PushButton2, m_layout.PushButton3, m_layout.PushButton4,
          m_layout.PushButton5, m_layout.PushButton6, m_layout.PushButton7, m_layout.PushButton8,
          m_layout.PushButton9, m_layout.PushButton10, m_layout.PushButton11,
          m_layout.PushButton12}) {
        m_hover.watchButton(*button);
    }
    for (QWidget* element : std::initializer_list<QWidget*>{this, m_layout.Frame1, m_layout.Frame2,
                                                            m_layout.List1, m_layout.List2}) {
        m_hover.watchResetElement(*element);
    }
}

void Form2::connectButtons() {
    const std::pair<QPushButton*, void (Form2::*)()> handlers[] = {
        {m_layout.PushButton1, &Form2::PushButton1_Click},
        {m_layout.PushButton2, &Form2::PushButton2_Click},
        {m_layout.PushButton3, &Form2::PushButton3_Click},
        {m_layout.PushButton4, &Form2::PushButton4_Click},
        {m_layout.PushButton5, &Form2::PushButton5_Click},
        {m_layout.PushButton6, &Form2::PushButton6_Click},
        {m_layout.PushButton7, &Form2::PushButton7_Click},
        {m_layout.PushButton8, &Form2::PushButton8_Click},
        {m_layout.PushButton9, &Form2::PushButton9_Click},
        {m_layout.PushButton10, &Form2::PushButton10_Click},
        {m_layout.PushButton11, &Form2::PushButton11_Click},
        {m_layout.PushButton12, &Form2::PushButton12_Click},
    };
    for (const auto& [button, handler] : handlers) {
        connect(button, &QPushButton::clicked, this, handler);
    }
}

// The load sequence carries no error trap: a failure reaches whoever referred to the window
// first.
void Form2::Form_Load() {
    app::ApplyFaceColor(*this);
    setWindowIcon(applicationIcon());
    app::CenterForm(*this);
    const QString handPointer = app::pathBesideProgram(QString::fromLatin1(app::kHandPointerFile));
    if (app::FileExists(handPointer)) {
        m_pointer.setCustomImage(app::loadCursorFile(handPointer));
    }
    setWindowTitle(QString::fromLatin1(app::kApplicationTitle));

    const TwipScale scale = TwipScale::of(*this);
    m_outerHeight = m_layout.PushButton11->y() + m_layout.PushButton11->height() +
                    scale.pixelsDown(kMarginBelowBottomRowTwips);
    fitOuterHeight();
}

void Form2::fitOuterHeight() {
    // Until the load sequence has set it, the window keeps its designed height.
    if (m_outerHeight == 0) {
        return;
    }
    const int frameHeight = frameGeometry().height() - height();
    if (height() != m_outerHeight - frameHeight) {
        setFixedHeight(m_outerHeight - frameHeight);
    }
}

void Form2::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    fitOuterHeight();
}

void Form2::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    fitOuterHeight();
}

void Form2::closeEvent(QCloseEvent* event) {
    event->accept();
    emit unloaded();
}

void Form2::markEveryEntry(db::TableList& list, bool selected, const char* location) {
    app::TrappedProcedure procedure(m_session.boxes, QString::fromLatin1(location));
    // Every entry in one step, reported as the marking statement of a loop over the entries: the
    // widget then tells of the change once, not once an entry.
    procedure.step(102, [&] { list.setAllSelected(selected); });
}

void Form2::PushButton1_Click() {
    markEveryEntry(m_list1, true, app::location::kForm2PushButton1Click);
}

void Form2::PushButton2_Click() {
    markEveryEntry(m_list1, false, app::location::kForm2PushButton2Click);
}

void Form2::PushButton6_Click() {
    markEveryEntry(m_list2, true, app::location::kForm2PushButton6Click);
}

void Form2::PushButton7_Click() {
    markEveryEntry(m_list2, false, app::location::kForm2PushButton7Click);
}

void Form2::PushButton3_Click() {
    transferTables(m_session, TransferDirection::ToDatabase2, m_pointer, *m_layout.ProgressBar1);
}

void Form2::PushButton4_Click() {
    deleteTables(m_session, ListSide::Database1, m_pointer, *m_layout.ProgressBar1);
}

void Form2::PushButton5_Click() { renameTable(m_session, ListSide::Database1, m_pointer); }

void Form2::PushButton8_Click() {
    transferTables(m_session, TransferDirection::ToDatabase1, m_pointer, *m_layout.ProgressBar1);
}

void Form2::PushButton9_Click() {
    deleteTables(m_session, ListSide::Database2, m_pointer, *m_layout.ProgressBar1);
}

void Form2::PushButton10_Click() { renameTable(m_session, ListSide::Database2, m_pointer); }

void Form2::PushButton11_Click() {
    app::TrappedProcedure procedure(m_session.boxes,
                                    QString::fromLatin1(app::location::kForm2PushButton11Click));
    procedure.step(100, [&] { emit selectionWindowWanted(); });
    procedure.step(102, [&] { hide(); });
}

void Form2::PushButton12_Click() {
    app::TrappedProcedure procedure(m_session.boxes,
                                    QString::fromLatin1(app::location::kForm2PushButton12Click));
    procedure.step(100, [&] {
        m_session.boxes.message({.text = QStringLiteral("Questions? Please contact Team "
                                                        "Quillmere at ") +
                                         QString::fromLatin1(kContactFormAddress)});
    });
}

}  // namespace ui
