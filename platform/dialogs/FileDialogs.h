#pragma once
// The common file dialogs: saving a file, and opening a picture with a
// preview of the selected picture. Each opens above the window of its owner
// (as a message box does, dialogs::OwnerWindow). In tests they are not
// shown: each Execute is logged with the dialog's settings and answered
// from a queue.

#include "platform/ansi/ansi.h"

#include <QObject>
#include <memory>
#include <optional>
#include <vector>

class QFileDialog;
class QWidget;

class TSaveDialog : public QObject {
    Q_OBJECT
public:
    explicit TSaveDialog(QObject* owner = nullptr) : QObject(owner) {}

    AnsiString Title;
    // Pairs of description and pattern, separated by "|":
    // "Text (*.txt)|*.txt|All (*)|*".
    AnsiString Filter;
    int FilterIndex = 1;  // 1-based; after Execute, the type the user chose
    AnsiString DefaultExt;
    AnsiString InitialDir;
    AnsiString FileName;  // after Execute, the chosen path
    bool OverwritePrompt = true;
    // A typed path whose folder does not exist is refused with a message and
    // the dialog stays open.
    bool PathMustExist = true;

    // Shows the dialog; false when the user cancelled.
    bool Execute();
};

// The message a dialog shows for a path whose folder does not exist, or
// empty when the folder exists.
AnsiString MissingFolderMessage(const AnsiString& path);

// The common open dialog for pictures: only existing files can be chosen,
// and the selected picture shows beside the list.
class TOpenPictureDialog : public QObject {
    Q_OBJECT
public:
    explicit TOpenPictureDialog(QObject* owner = nullptr) : QObject(owner) {}

    AnsiString Title;
    AnsiString Filter;    // as for TSaveDialog; patterns are separated by ";"
    int FilterIndex = 1;  // 1-based; after Execute, the type the user chose
    AnsiString InitialDir;
    AnsiString FileName;  // after Execute, the chosen path (file-system bytes)

    // Shows the dialog; false when the user cancelled.
    bool Execute();
};

// The common open dialog for a file of one of the filter's types: only an
// existing file can be chosen.
class TOpenDialog : public QObject {
    Q_OBJECT
public:
    explicit TOpenDialog(QObject* owner = nullptr) : QObject(owner) {}

    AnsiString Title;
    AnsiString Filter;    // as for TOpenPictureDialog
    int FilterIndex = 1;  // 1-based; after Execute, the type the user chose
    AnsiString InitialDir;
    AnsiString FileName;  // after Execute, the chosen path (file-system bytes)

    // Shows the dialog; false when the user cancelled.
    bool Execute();
};

namespace dialogs {
// The window TOpenPictureDialog::Execute shows, made on its own so that its
// filters and its preview can be tried without showing it modally.
std::unique_ptr<QFileDialog> MakeOpenPictureDialog(const TOpenPictureDialog& settings, QWidget* parent);
}  // namespace dialogs

namespace dialogs::test {
// Each answer is what the user chose in the dialog; one the dialog refuses
// (a folder that does not exist) shows its message, and the dialog takes the
// next answer, as the user would try again.
struct FileDialogAnswer {
    AnsiString path;  // empty: the user cancels
    int filterIndex = 1;
};
struct ShownFileDialog {
    AnsiString title, filter, defaultExt, initialDir, fileName;
    int filterIndex;
    bool open;  // an open dialog (else a save dialog)
};
void QueueFileDialogAnswer(const FileDialogAnswer& answer);
const std::vector<ShownFileDialog>& FileDialogLog();
// Forgets the log and every answer still queued.
void ResetFileDialogs();
}  // namespace dialogs::test
