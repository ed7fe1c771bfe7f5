#include "ui/selection/form1.h"

#include "app/cursor_file.h"
#include "app/error_locations.h"
#include "app/error_trap.h"
#include "app/handler_guard.h"
#include "app/program_folder.h"
#include "app/settings_store.h"
#include "app/window_helpers.h"
#include "db/engine_check.h"
#include "db/table_catalogue.h"
#include "ui/layouts/application_icon.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

namespace ui {
namespace {

QString setting(const char* key) {
    return app::GetSetting(QString::fromLatin1(app::kSettingsApplication),
                           QString::fromLatin1(app::kSettingsSection), QString::fromLatin1(key));
}

void saveSetting(const char* key, const QString& value) {
    app::SaveSetting(QString::fromLatin1(app::kSettingsApplication),
                     QString::fromLatin1(app::kSettingsSection), QString::fromLatin1(key), value);
}

}  // namespace

Form1::Form1(const Services& services, QWidget* parent)
    : QWidget(parent),
      m_services(services),
      m_session{services.boxes, services.factory, *this, services.lists, services.globals},
      m_layout(buildForm1Layout(*this)),
      m_pointer(*this),
      m_hover(m_pointer, this),
      m_settingsGuard(services.boxes) {
    watchPointer();
    connectControls();
}

QString Form1::Text1() const { return m_layout.Text1->text(); }
QString Form1::Text2() const { return m_layout.Text2->text(); }
QString Form1::Text3() const { return m_layout.Text3->text(); }
QString Form1::Text4() const { return m_layout.Text4->text(); }

void Form1::watchPointer() {
    for (QPushButton* button :
         {m_layout.PushButton1, m_layout.PushButton2, m_layout.PushButton3, m_layout.PushButton4}) {
        m_hover.watchButton(*button);
    }
    for (QWidget* element :
         std::initializer_list<QWidget*>{this, m_layout.Text1, m_layout.Text2, m_layout.Text3,
                                         m_layout.Text4, m_layout.Frame1, m_layout.Frame2}) {
        m_hover.watchResetElement(*element);
    }
}

void Form1::connectControls() {
    connect(m_layout.PushButton1, &QPushButton::clicked, this, &Form1::PushButton1_Click);
    connect(m_layout.PushButton2, &QPushButton::clicked, this, &Form1::PushButton2_Click);
    connect(m_layout.PushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);
    connect(m_layout.PushButton4, &QPushButton::clicked, this, &Form1::PushButton4_Click);

    // Text1_Change ... Text4_Change: every change is saved at once, before anything checks it.
    const std::pair<QLineEdit*, const char*> remembered[] = {
        {m_layout.Text1, app::kAccessMDBFileKey},
        {m_layout.Text2, app::kAccessPasswordKey},
        {m_layout.Text3, app::kAccessMDBFile2Key},
        {m_layout.Text4, app::kAccessPassword2Key},
    };
    for (const auto& [box, key] : remembered) {
        connect(box, &QLineEdit::textChanged, this, [this, key](const QString& text) {
            m_settingsGuard.run([&] { saveSetting(key, text); });
        });
        // Text1_GotFocus ... Text4_GotFocus.
        box->installEventFilter(this);
    }
}

// Whatever way a text box receives the focus, its whole text is selected, so typing replaces it.
// The box handles the focus itself first (it would place its cursor afresh afterwards); a click
// that brought the focus then places the cursor where it points.
bool Form1::eventFilter(QObject* watched, QEvent* event) {
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box == nullptr || event->type() != QEvent::FocusIn) {
        return QWidget::eventFilter(watched, event);
    }
    static_cast<QObject*>(box)->event(event);
    box->setSelection(0, static_cast<int>(box->text().size()));
    return true;
}

void Form1::closeEvent(QCloseEvent* event) {
    event->accept();
    emit unloaded();
}

void Form1::Form_Load() {
    app::TrappedProcedure procedure(m_services.boxes,
                                    QString::fromLatin1(app::location::kForm1FormLoad));
    procedure.step(100, [&] { app::ApplySkin(*this); });
    procedure.step(102, [&] { app::CenterForm(*this); });
    procedure.step(104, [&] { webSiteDraw(m_services.random, m_services.opener); });
    procedure.step(106, [&] { setWindowTitle(QString::fromLatin1(app::kApplicationTitle)); });
    procedure.step(106, [&] { setWindowIcon(applicationIcon()); });

    const auto handPointer = [] {
        return app::pathBesideProgram(QString::fromLatin1(app::kHandPointerFile));
    };
    if (procedure.test(124, [&] { return app::FileExists(handPointer()); })) {
        procedure.step(126, [&] { m_pointer.setCustomImage(app::loadCursorFile(handPointer())); });
    }

    procedure.step(128, [&] { m_layout.Text1->setText(setting(app::kAccessMDBFileKey)); });
    procedure.step(130, [&] { m_layout.Text2->setText(setting(app::kAccessPasswordKey)); });
    procedure.step(132, [&] { m_layout.Text3->setText(setting(app::kAccessMDBFile2Key)); });
    procedure.step(134, [&] { m_layout.Text4->setText(setting(app::kAccessPassword2Key)); });

    if (procedure.test(136, [&] { return app::FileExists(Text1()); })) {
        if (procedure.test(138, [&] { return app::FileExists(Text3()); })) {
            procedure.step(140, [&] { PushButton2_Click(); });
        }
    }

    procedure.step(142, [&] { db::CheckEngineInstalled(m_services.boxes, m_services.factory); });
}

void Form1::PushButton1_Click() {
    browseInto(*m_layout.Text1, app::location::kForm1PushButton1Click);
}

void Form1::PushButton3_Click() {
    browseInto(*m_layout.Text3, app::location::kForm1PushButton3Click);
}

void Form1::browseInto(QLineEdit& pathBox, const char* location) {
    app::TrappedProcedure procedure(m_services.boxes, QString::fromLatin1(location));
    // The dialog starts with no file name, so a cancelled dialog never brings back an earlier
    // choice.
    QString fileName;
    app::OpenFileRequest request;
    procedure.step(100, [&] { fileName.clear(); });
    procedure.step(102, [&] {
        request.flags =
            app::kOpenFileReadOnlyTicked | app::kOpenFileExplorerStyle | app::kOpenFileLongNames;
    });
    procedure.step(104, [&] { request.title = QString::fromLatin1(kBrowseTitle); });
    procedure.step(106, [&] {
        request.filters = {
            {QStringLiteral("All Microsoft Databases (*.mdb,*.accdb)"), QStringLiteral("*.*db")},
            {QStringLiteral("Microsoft Database (*.mdb)"), QStringLiteral("*.mdb")},
            {QStringLiteral("Microsoft 2007 Database (*.accdb)"), QStringLiteral("*.accdb")},
        };
    });
    procedure.step(108, [&] { fileName = m_services.boxes.openFile(request).value_or(QString()); });
    if (procedure.test(110, [&] { return fileName.isEmpty(); })) {
        return;
    }
    procedure.step(112, [&] { pathBox.setText(fileName); });
}

void Form1::PushButton4_Click() {
    app::TrappedProcedure procedure(m_services.boxes,
                                    QString::fromLatin1(app::location::kForm1PushButton4Click));
    const auto sample = [] {
        return app::pathBesideProgram(QString::fromLatin1(app::kSampleDatabaseFile));
    };
    procedure.step(100, [&] { m_layout.Text1->setText(sample()); });
    procedure.step(102, [&] { m_layout.Text3->setText(sample()); });
}

void Form1::PushButton2_Click() {
    app::TrappedProcedure procedure(m_services.boxes,
                                    QString::fromLatin1(app::location::kForm1PushButton2Click));
    if (procedure.test(100, [&] { return app::FileExists(Text1()); })) {
        if (procedure.test(102, [&] { return app::FileExists(Text3()); })) {
            procedure.step(104, [&] { m_services.globals.TableListFailed = false; });
            procedure.step(106, [&] { db::AddTablesToAccessListbox(m_session); });
            procedure.step(108, [&] { db::AddTablesToAccessListbox2(m_session); });
            if (procedure.test(110, [&] { return m_services.globals.TableListFailed; })) {
                return;
            }
            procedure.step(112, [&] { emit tableManagerWanted(); });
            procedure.step(114, [&] { hide(); });
        } else {
            procedure.step(116, [&] {
                m_services.boxes.message({.text = QString::fromLatin1(kDatabase2InvalidMessage)});
            });
        }
    } else {
        procedure.step(118, [&] {
            m_services.boxes.message({.text = QString::fromLatin1(kDatabase1InvalidMessage)});
        });
    }
}

}  // namespace ui
