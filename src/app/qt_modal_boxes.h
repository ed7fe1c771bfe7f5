// The boxes of the running program, shown with Qt's standard dialogs: QMessageBox for messages
// and notices, QInputDialog for input and QFileDialog for choosing a file to open. Each box is
// owned by the active window, when there is one, and is application-modal except a notice,
// which is shown without being made the active window.
#pragma once

#include "app/modal_boxes.h"

namespace app {

class QtModalBoxes : public ModalBoxes {
public:
    MessageAnswer message(const MessageBoxRequest& request) override;
    void notice(const NoticeRequest& request) override;
    std::optional<QString> input(const InputBoxRequest& request) override;
    std::optional<QString> openFile(const OpenFileRequest& request) override;
};

}  // namespace app
