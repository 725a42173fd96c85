#pragma once
// The common file-save dialog. In tests it is not shown: each Execute is
// logged with the dialog's settings and answered from a queue.

#include "ansi/ansi.h"

#include <QObject>
#include <optional>
#include <vector>

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

    // Shows the dialog; false when the user cancelled.
    bool Execute();
};

namespace dialogs::test {
struct FileDialogAnswer {
    AnsiString path;  // empty: the user cancels
    int filterIndex = 1;
};
struct ShownFileDialog {
    AnsiString title, filter, defaultExt, initialDir, fileName;
    int filterIndex;
};
void QueueFileDialogAnswer(const FileDialogAnswer& answer);
const std::vector<ShownFileDialog>& FileDialogLog();
// Forgets the log and every answer still queued.
void ResetFileDialogs();
}  // namespace dialogs::test
