// The modal boxes of the running program, shown with Qt's standard dialogs: QMessageBox for
// messages, QInputDialog for input and QFileDialog for choosing a file to open. Each box is
// application-modal and owned by the active window, when there is one.
#pragma once

#include "app/modal_boxes.h"

namespace app {

class QtModalBoxes : public ModalBoxes {
public:
    MessageAnswer message(const MessageBoxRequest& request) override;
    std::optional<QString> input(const InputBoxRequest& request) override;
    std::optional<QString> openFile(const OpenFileRequest& request) override;
};

}  // namespace app
