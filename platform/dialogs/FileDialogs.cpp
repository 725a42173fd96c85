#include "dialogs/FileDialogs.h"

#include "dialogs/dialogs.h"
#include "files/files.h"

#include <algorithm>

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QRegularExpression>
#include <deque>

namespace dialogs::test {
namespace {
std::deque<FileDialogAnswer>& Answers() {
    static std::deque<FileDialogAnswer> answers;
    return answers;
}
std::vector<ShownFileDialog>& DialogLog() {
    static std::vector<ShownFileDialog> log;
    return log;
}
}  // namespace
void QueueFileDialogAnswer(const FileDialogAnswer& answer) { Answers().push_back(answer); }
const std::vector<ShownFileDialog>& FileDialogLog() { return DialogLog(); }
void ResetFileDialogs() {
    Answers().clear();
    DialogLog().clear();
}
}  // namespace dialogs::test

namespace {

struct FilterEntry {
    QString description, pattern;
};

std::vector<FilterEntry> ParseFilter(const AnsiString& filter) {
    QStringList parts = ansi::ToQString(filter).split('|');
    std::vector<FilterEntry> entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) entries.push_back({parts[i], parts[i + 1]});
    return entries;
}

// The extension of a pattern such as "*.csv" ("csv"), empty for others.
QString PatternExtension(const QString& pattern) {
    static const QRegularExpression simple("^\\*\\.([A-Za-z0-9]+)$");
    QRegularExpressionMatch m = simple.match(pattern);
    return m.hasMatch() ? m.captured(1) : QString();
}

// A save dialog that refuses a path whose folder does not exist: it says so
// and stays open, as the user expects, instead of handing back a path that
// cannot be written.
class SaveFileDialog : public QFileDialog {
public:
    SaveFileDialog(QWidget* parent, const QString& caption, bool pathMustExist)
        : QFileDialog(parent, caption), pathMustExist_(pathMustExist) {}

    void accept() override {
        const QStringList chosen = selectedFiles();
        if (pathMustExist_ && !chosen.isEmpty()) {
            AnsiString message = MissingFolderMessage(QFile::encodeName(chosen.front()).toStdString());
            if (!message.empty()) {
                dialogs::MessageBox(message, ansi::FromQString(windowTitle()), dialogs::Icon::Warning,
                                    dialogs::Buttons::OK);
                return;
            }
        }
        QFileDialog::accept();
    }

private:
    bool pathMustExist_;
};

}  // namespace

AnsiString MissingFolderMessage(const AnsiString& path) {
    size_t slash = path.rfind('/');
    AnsiString folder = slash == AnsiString::npos ? AnsiString(".") : path.substr(0, std::max<size_t>(slash, 1));
    if (files::KindOf(folder) == files::PathKind::Folder) return {};
    return ansi::FromQString(QFile::decodeName(path.c_str())) + "\nThe folder does not exist.\nCheck the path and try again.";
}

bool TSaveDialog::Execute() {
    if (dialogs::test::Enabled()) {
        dialogs::test::DialogLog().push_back({Title, Filter, DefaultExt, InitialDir, FileName, FilterIndex});
        auto& answers = dialogs::test::Answers();
        for (;;) {
            if (answers.empty()) qFatal("Save dialog \"%s\" shown without a queued answer", Title.c_str());
            dialogs::test::FileDialogAnswer a = answers.front();
            answers.pop_front();
            if (a.path.empty()) return false;
            if (AnsiString message = PathMustExist ? MissingFolderMessage(a.path) : AnsiString(); !message.empty()) {
                dialogs::MessageBox(message, Title, dialogs::Icon::Warning, dialogs::Buttons::OK);
                continue;
            }
            FileName = a.path;
            FilterIndex = a.filterIndex;
            return true;
        }
    }

    SaveFileDialog dialog(QApplication::activeWindow(), ansi::ToQString(Title), PathMustExist);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !OverwritePrompt);
    std::vector<FilterEntry> entries = ParseFilter(Filter);
    QStringList names;
    for (const FilterEntry& e : entries) names << e.description;
    dialog.setNameFilters(names);
    if (!InitialDir.empty()) dialog.setDirectory(QFile::decodeName(InitialDir.c_str()));
    if (!FileName.empty()) dialog.selectFile(QFile::decodeName(FileName.c_str()));
    // A name typed without extension gets the chosen type's extension.
    auto suffixFor = [&](int index) {
        QString ext = index >= 1 && index <= int(entries.size()) ? PatternExtension(entries[size_t(index - 1)].pattern) : QString();
        return ext.isEmpty() ? ansi::ToQString(DefaultExt) : ext;
    };
    if (FilterIndex >= 1 && FilterIndex <= int(entries.size())) dialog.selectNameFilter(names[FilterIndex - 1]);
    dialog.setDefaultSuffix(suffixFor(FilterIndex));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& name) {
        dialog.setDefaultSuffix(suffixFor(int(names.indexOf(name)) + 1));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    FileName = QFile::encodeName(dialog.selectedFiles().front()).toStdString();
    FilterIndex = int(names.indexOf(dialog.selectedNameFilter())) + 1;
    if (FilterIndex < 1) FilterIndex = 1;
    return true;
}
