// Corvanta: copies, deletes and renames tables of Microsoft Access database files.
#include "ado/object_factory.h"
#include "app/qt_modal_boxes.h"
#include "ui/program.h"
#include "ui/selection/web_site_draw.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    app::QtModalBoxes boxes;
    const ado::ObjectFactory factory;
    ui::TimeSeededRandom random;
    ui::DesktopAddressOpener opener;
    ui::Program program({.boxes = boxes, .factory = factory, .random = random, .opener = opener});
    program.start();
    return QApplication::exec();
}
