#include "app/forms/SaveWithoutLoss.h"

#include "app/forms/FormKeys.h"

#include <QFile>

AnsiString SideFileName(std::string_view fileName, const QDateTime& when,
                        const std::function<bool(const AnsiString& name)>& taken) {
    size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos) dot = fileName.size();
    const AnsiString stem = AnsiString(fileName.substr(0, dot)) + "-" + when.toString("yyyyMMdd-HHmmss").toStdString();
    const AnsiString ending(fileName.substr(dot));
    AnsiString name = stem + ending;
    for (long long n = 2; taken(name); ++n) name = stem + "-" + ansi::IntToStr(n) + ending;
    return name;
}

namespace {

AnsiString Shown(const AnsiString& path) { return ansi::FromQString(QFile::decodeName(path.c_str())); }

AnsiString Question(const GuardedFile& file, const AnsiString& sideName) {
    const AnsiString content = file.contentName;
    return Shown(file.path) + " was changed by another program after Flickstow read it.\n\nYes: replace it with the " +
           content + " in this window (the other version is kept as " + Shown(files::ExtractFileName(file.backupPath)) +
           ").\nNo: keep the other version, and save the " + content + " in this window as " + Shown(sideName) +
           ".\nCancel: go back to the list without saving.";
}

}  // namespace

SaveOutcome SaveWithoutLoss(FormKeys& keys, GuardedFile& file, const std::function<files::Producer()>& content) {
    if (files::ChangeOnDisk(file.path, file.known) != files::DiskChange::Changed) {
        file.known = files::ReplaceWholeFile(file.path, content(),
                                             file.backupEverySave ? file.backupPath : AnsiString());
        return SaveOutcome::Saved;
    }
    const AnsiString folder = file.path.substr(0, file.path.size() - files::ExtractFileName(file.path).size());
    const QDateTime now = QDateTime::currentDateTime();
    auto sideName = [&] {
        return SideFileName(files::ExtractFileName(file.path), now,
                            [&](const AnsiString& name) { return files::Occupied(files::JoinPath(folder, name)); });
    };
    const AnsiString side = sideName();
    switch (
        keys.MessageBox(Question(file, side), file.caption, dialogs::Icon::Warning, dialogs::Buttons::YesNoCancel)) {
    case dialogs::IDYES:
        file.known = files::ReplaceWholeFile(file.path, content(), file.backupPath);
        return SaveOutcome::Saved;
    case dialogs::IDNO:
        // The name the question gave, unless another program took it since.
        files::CreateNewFileIn(folder, sideName, content);
        return SaveOutcome::SavedAside;
    default: return SaveOutcome::Cancelled;
    }
}
