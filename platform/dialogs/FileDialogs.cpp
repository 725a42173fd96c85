#include "dialogs/FileDialogs.h"

#include "dialogs/dialogs.h"

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

}  // namespace

bool TSaveDialog::Execute() {
    if (dialogs::test::Enabled()) {
        dialogs::test::DialogLog().push_back({Title, Filter, DefaultExt, InitialDir, FileName, FilterIndex});
        auto& answers = dialogs::test::Answers();
        if (answers.empty()) qFatal("Save dialog \"%s\" shown without a queued answer", Title.c_str());
        dialogs::test::FileDialogAnswer a = answers.front();
        answers.pop_front();
        if (a.path.empty()) return false;
        FileName = a.path;
        FilterIndex = a.filterIndex;
        return true;
    }

    QFileDialog dialog(QApplication::activeWindow(), ansi::ToQString(Title));
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
