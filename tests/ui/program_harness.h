// The whole program in a test: its own program folder and settings store in a scratch folder,
// scripted boxes, a random draw that gives what the test asks for, and an address opener that
// only records. Windows are found by their control names.
#pragma once

#include "ado/object_factory.h"
#include "app/settings_store.h"
#include "support/app/replaced_folders.h"
#include "support/app/scripted_modal_boxes.h"
#include "support/fixtures.h"
#include "ui/program.h"
#include "ui/selection/web_site_draw.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

#include <filesystem>
#include <memory>
#include <vector>

namespace support {

class ScriptedRandom : public ui::RandomSource {
public:
    void seedFromTimeOfDay() override { ++seeds; }
    double next() override { return value; }

    double value = 0.5;  // draws 51
    int seeds = 0;
};

class RecordingOpener : public ui::AddressOpener {
public:
    void open(const QString& address) override { opened.push_back(address); }

    std::vector<QString> opened;
};

class ProgramHarness {
public:
    ProgramHarness() {
        std::filesystem::create_directories(programFolder);
        std::filesystem::create_directories(settingsFolder);
    }
    ProgramHarness(const ProgramHarness&) = delete;
    ProgramHarness& operator=(const ProgramHarness&) = delete;

    // The program, created on first use (its selection window exists, not yet loaded).
    ui::Program& program() {
        if (m_program == nullptr) {
            m_program = std::make_unique<ui::Program>(ui::Program::Services{
                .boxes = boxes, .factory = factory, .random = random, .opener = opener});
        }
        return *m_program;
    }
    // Starts the program as running it does.
    ui::Program& start() {
        program().start();
        return *m_program;
    }

    ui::Form1& form1() { return program().form1(); }
    // The table manager, created hidden by the first reference to a table list if need be.
    ui::Form2& form2() {
        program().List1();
        return *program().loadedForm2();
    }

    template <typename Control>
    Control& in1(const char* name) {
        return child<Control>(form1(), name);
    }
    template <typename Control>
    Control& in2(const char* name) {
        return child<Control>(form2(), name);
    }

    void remember(const char* key, const QString& value) {
        app::SaveSetting(QString::fromLatin1(app::kSettingsApplication),
                         QString::fromLatin1(app::kSettingsSection), QString::fromLatin1(key),
                         value);
    }
    QString remembered(const char* key) {
        return app::GetSetting(QString::fromLatin1(app::kSettingsApplication),
                               QString::fromLatin1(app::kSettingsSection), QString::fromLatin1(key),
                               QStringLiteral("<absent>"));
    }

    // Puts a copy of a file of the build folder beside the program.
    void besideProgram(const std::string& relative) {
        std::filesystem::create_directories((programFolder / relative).parent_path());
        std::filesystem::copy_file(buildDir() / relative, programFolder / relative);
    }

    static QString qpath(const std::filesystem::path& path) {
        return QString::fromStdString(path.string());
    }

    // Pointer movement as the window system delivers it: to the widget under the pointer.
    static void moveOver(QWidget& widget) {
        const QPoint position(2, 2);
        QMouseEvent move(QEvent::MouseMove, position, widget.mapToGlobal(position), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&widget, &move);
    }

    TempDir folder;
    std::filesystem::path programFolder = folder / "program";
    std::filesystem::path settingsFolder = folder / "settings";
    ReplacedProgramFolder replacedProgramFolder{programFolder};
    ReplacedSettingsFolder replacedSettingsFolder{settingsFolder};
    ScriptedModalBoxes boxes;
    ado::ObjectFactory factory;
    ScriptedRandom random;
    RecordingOpener opener;

private:
    template <typename Control>
    static Control& child(QWidget& window, const char* name) {
        auto* control = window.findChild<Control*>(QString::fromLatin1(name));
        if (control == nullptr) {
            throw std::runtime_error(std::string("no control ") + name);
        }
        return *control;
    }

    std::unique_ptr<ui::Program> m_program;
};

}  // namespace support
