// program-probe SETTINGS_FOLDER: the program's own start-up, run offscreen from wherever this
// file was put (tests copy it beside an installed program and start it through a link), with
// the settings store in SETTINGS_FOLDER and message boxes that only record. It prints what the
// program found beside itself, one "name: value" line each:
//
//   program folder   the folder the program resolved as its own
//   hand pointer     "loaded" when the pointer over a push button is the image of HAND-M.CUR
//   sample           the path "Load Sample/Example Database" put into both places
//   tables           the table list of database #1 after "Next >", names separated by ", "
//   table manager    "shown" when "Next >" moved on to the table manager
//   box              the text of each message box or notice shown, in order
#include "ado/object_factory.h"
#include "app/program_folder.h"
#include "app/settings_store.h"
#include "ui/program.h"
#include "ui/selection/web_site_draw.h"

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QStandardPaths>
#include <QStringList>

#include <iostream>

namespace {

class RecordingBoxes : public app::ModalBoxes {
public:
    app::MessageAnswer message(const app::MessageBoxRequest& request) override {
        texts.push_back(request.text);
        return request.buttons == app::MessageButtons::Ok ? app::MessageAnswer::Ok
                                                          : app::MessageAnswer::No;
    }
    void notice(const app::NoticeRequest& request) override { texts.push_back(request.text); }
    std::optional<QString> input(const app::InputBoxRequest& request) override {
        texts.push_back(request.prompt);
        return std::nullopt;
    }
    std::optional<QString> openFile(const app::OpenFileRequest& request) override {
        texts.push_back(request.title);
        return std::nullopt;
    }

    QStringList texts;
};

// Never draws the web site's number, so the probe opens nothing.
class QuietRandom : public ui::RandomSource {
public:
    void seedFromTimeOfDay() override {}
    double next() override { return 0.5; }
};

class NoOpener : public ui::AddressOpener {
public:
    void open(const QString&) override {}
};

template <typename Control>
Control& control(QWidget& window, const char* name) {
    auto* found = window.findChild<Control*>(QString::fromLatin1(name));
    if (found == nullptr) throw std::runtime_error(std::string("no control ") + name);
    return *found;
}

void print(const char* name, const QString& value) {
    std::cout << name << ": " << value.toStdString() << '\n';
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: program-probe SETTINGS_FOLDER\n";
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QStandardPaths::setTestModeEnabled(true);
    QApplication application(argc, argv);
    app::setSettingsFolder(QString::fromLocal8Bit(argv[1]));

    RecordingBoxes boxes;
    const ado::ObjectFactory factory;
    QuietRandom random;
    NoOpener opener;
    ui::Program program({.boxes = boxes, .factory = factory, .random = random, .opener = opener});
    program.start();
    ui::Form1& form1 = program.form1();
    print("program folder", app::programFolder());

    // Pointer movement over a push button, as the window system delivers it.
    auto& loadSample = control<QPushButton>(form1, "PushButton4");
    QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), loadSample.mapToGlobal(QPointF(2, 2)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&loadSample, &move);
    print("hand pointer",
          form1.cursor().shape() == Qt::BitmapCursor ? QStringLiteral("loaded") : "none");

    loadSample.click();
    print("sample", control<QLineEdit>(form1, "Text1").text());
    control<QPushButton>(form1, "PushButton2").click();
    QStringList tables;
    for (int index = 0; index < program.List1().count(); ++index) {
        tables.push_back(program.List1().text(index));
    }
    print("tables", tables.join(QStringLiteral(", ")));
    const bool shown = program.loadedForm2() != nullptr && program.loadedForm2()->isVisible();
    print("table manager", shown ? QStringLiteral("shown") : QStringLiteral("hidden"));
    for (const QString& text : boxes.texts) print("box", text);
    return 0;
}
