// The one seam through which the program shows its boxes: the modal message box, input box and
// file-open dialog, and the notice, a message that waits for nothing. Windows and routines ask
// an app::ModalBoxes for every box, so the real program shows Qt dialogs (QtModalBoxes) while
// tests answer from a script and record each box.
//
// A box is described by a request whose title defaults to the application title, so a box that
// names no title of its own carries "Corvanta".
#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace app {

inline constexpr char kApplicationTitle[] = "Corvanta";

enum class MessageButtons { Ok, YesNo };
enum class MessageIcon { None, Exclamation };
enum class MessageAnswer { Ok, Yes, No };

struct MessageBoxRequest {
    QString text{};
    QString title = QString::fromLatin1(kApplicationTitle);
    MessageButtons buttons = MessageButtons::Ok;
    MessageIcon icon = MessageIcon::None;

    bool operator==(const MessageBoxRequest&) const = default;
};

// A notice: a message with an OK button that the program does not wait for.
struct NoticeRequest {
    QString text{};
    QString title = QString::fromLatin1(kApplicationTitle);
    MessageIcon icon = MessageIcon::None;

    bool operator==(const NoticeRequest&) const = default;
};

struct InputBoxRequest {
    QString prompt{};
    QString title = QString::fromLatin1(kApplicationTitle);
    QString defaultAnswer{};

    bool operator==(const InputBoxRequest&) const = default;
};

// One choice of the file-open dialog's type list: the text shown and the name patterns it lets
// through, separated by ';' (for instance "*.mdb;*.accdb").
struct FileFilter {
    QString description{};
    QString patterns{};

    bool operator==(const FileFilter&) const = default;
};

// Option flags of the file-open dialog, with the values the common dialog of Windows gives them.
inline constexpr uint32_t kOpenFileReadOnlyTicked = 0x1;  // the read-only tick box starts ticked
inline constexpr uint32_t kOpenFileExplorerStyle = 0x80000;
inline constexpr uint32_t kOpenFileLongNames = 0x200000;

struct OpenFileRequest {
    QString title = QString::fromLatin1(kApplicationTitle);
    std::vector<FileFilter> filters{};
    uint32_t flags = 0;

    bool operator==(const OpenFileRequest&) const = default;
};

class ModalBoxes {
public:
    virtual ~ModalBoxes() = default;

    // Shows a message box and waits for the user's answer: Ok for an OK box, Yes or No for a
    // Yes/No box.
    virtual MessageAnswer message(const MessageBoxRequest& request) = 0;
    // Shows a notice and returns at once. The notice takes neither the keyboard nor the pointer
    // from the windows: the user goes on typing where they were, and closes it when they like.
    virtual void notice(const NoticeRequest& request) = 0;
    // Shows an input box; returns the text entered, or nothing when the user cancelled.
    virtual std::optional<QString> input(const InputBoxRequest& request) = 0;
    // Shows the file-open dialog, starting with no file name; returns the full path of the file
    // chosen, or nothing when the user cancelled.
    virtual std::optional<QString> openFile(const OpenFileRequest& request) = 0;
};

}  // namespace app
