#include "platform/dialogs/FileDialogs.h"

#include "platform/dialogs/dialogs.h"
#include "platform/errors/Exception.h"
#include "platform/files/files.h"
#include "platform/jpeg/jpeg.h"

#include <algorithm>

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QLabel>
#include <QPixmap>
#include <QRegularExpression>
#include <QVBoxLayout>
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

namespace {
// In tests: logs the dialog and answers true; false when the dialog is
// really to be shown.
bool Logged(const ShownFileDialog& shown) {
    if (!Enabled()) return false;
    DialogLog().push_back(shown);
    return true;
}
// The next queued answer: what the user chooses in the dialog.
FileDialogAnswer NextAnswer(const AnsiString& title) {
    auto& answers = Answers();
    if (answers.empty()) qFatal("File dialog \"%s\" shown without a queued answer", title.c_str());
    FileDialogAnswer a = answers.front();
    answers.pop_front();
    return a;
}
}  // namespace
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

// The chosen file and type of a dialog answered in a test; false when the
// answer is to cancel.
bool TakeAnswer(const dialogs::test::FileDialogAnswer& a, AnsiString& fileName, int& filterIndex) {
    if (a.path.empty()) return false;
    fileName = a.path;
    filterIndex = a.filterIndex;
    return true;
}

// The name filters as the dialog lists them: the descriptions.
QStringList Descriptions(const std::vector<FilterEntry>& entries) {
    QStringList names;
    for (const FilterEntry& e : entries) names << e.description;
    return names;
}

// The type the user chose in a dialog, 1-based.
int ChosenType(const QFileDialog& dialog, const QStringList& names) {
    return std::max(int(names.indexOf(dialog.selectedNameFilter())) + 1, 1);
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
                                    dialogs::Buttons::OK, this);
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
    return ansi::FromQString(QFile::decodeName(path.c_str())) +
           "\nThe folder does not exist.\nCheck the path and try again.";
}

bool TSaveDialog::Execute() {
    if (dialogs::test::Logged({Title, Filter, DefaultExt, InitialDir, FileName, FilterIndex, false})) {
        for (;;) {
            dialogs::test::FileDialogAnswer a = dialogs::test::NextAnswer(Title);
            if (a.path.empty()) return false;
            if (AnsiString message = PathMustExist ? MissingFolderMessage(a.path) : AnsiString(); !message.empty()) {
                dialogs::MessageBox(message, Title, dialogs::Icon::Warning, dialogs::Buttons::OK);
                continue;
            }
            return TakeAnswer(a, FileName, FilterIndex);
        }
    }

    QWidget* window = dialogs::OwnerWindow(qobject_cast<QWidget*>(parent()));
    SaveFileDialog dialog(window, ansi::ToQString(Title), PathMustExist);
    dialogs::KeepAbove(&dialog, window);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !OverwritePrompt);
    std::vector<FilterEntry> entries = ParseFilter(Filter);
    QStringList names = Descriptions(entries);
    dialog.setNameFilters(names);
    if (!InitialDir.empty()) dialog.setDirectory(QFile::decodeName(InitialDir.c_str()));
    if (!FileName.empty()) dialog.selectFile(QFile::decodeName(FileName.c_str()));
    // A name typed without extension gets the chosen type's extension.
    auto suffixFor = [&](int index) {
        QString ext = index >= 1 && index <= int(entries.size()) ? PatternExtension(entries[size_t(index - 1)].pattern)
                                                                 : QString();
        return ext.isEmpty() ? ansi::ToQString(DefaultExt) : ext;
    };
    if (FilterIndex >= 1 && FilterIndex <= int(entries.size())) dialog.selectNameFilter(names[FilterIndex - 1]);
    dialog.setDefaultSuffix(suffixFor(FilterIndex));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&](const QString& name) { dialog.setDefaultSuffix(suffixFor(int(names.indexOf(name)) + 1)); });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    FileName = QFile::encodeName(dialog.selectedFiles().front()).toStdString();
    FilterIndex = ChosenType(dialog, names);
    return true;
}

namespace {

// Beside the file list: the selected picture scaled to fit a square, and its
// size in pixels above it.
class PicturePreview : public QWidget {
public:
    static constexpr int kBox = 160;

    explicit PicturePreview(QWidget* parent) : QWidget(parent) {
        setObjectName("PicturePreview");
        size_ = new QLabel(this);
        size_->setObjectName("PreviewSize");
        size_->setAlignment(Qt::AlignCenter);
        picture_ = new QLabel(this);
        picture_->setObjectName("PreviewPicture");
        picture_->setAlignment(Qt::AlignCenter);
        picture_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        picture_->setFixedSize(kBox + 4, kBox + 4);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(6, 0, 0, 0);
        layout->addWidget(size_);
        layout->addWidget(picture_);
        layout->addStretch();
    }

    // Shows the picture at path; a folder, a missing file or one that is no
    // picture shows nothing.
    void Show(const QString& path) {
        picture_->clear();
        size_->clear();
        if (!QFileInfo(path).isFile()) return;
        auto fitted = [](QSize natural) {
            return natural.width() <= kBox && natural.height() <= kBox
                       ? natural
                       : natural.scaled(kBox, kBox, Qt::KeepAspectRatio);
        };
        try {
            jpeg::Picture p = jpeg::DecodeFile(QFile::encodeName(path).toStdString(), fitted);
            QSize shown = fitted(p.natural).expandedTo(QSize(1, 1));
            picture_->setPixmap(
                QPixmap::fromImage(p.image.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
            size_->setText(QString("(%1 x %2)").arg(p.natural.width()).arg(p.natural.height()));
        } catch (const Exception&) {
            size_->setText("(no preview)");
        }
    }

private:
    QLabel *size_, *picture_;
};

}  // namespace

namespace dialogs {

namespace {
// An open dialog for an existing file of one of the filter's types.
template <class Settings>
std::unique_ptr<QFileDialog> MakeOpenDialog(const Settings& settings, QWidget* parent) {
    std::unique_ptr<QFileDialog> dialog = std::make_unique<QFileDialog>(parent, ansi::ToQString(settings.Title));
    // Qt's own dialog, which can hold the preview.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setSizeGripEnabled(true);
    std::vector<FilterEntry> entries = ParseFilter(settings.Filter);
    QStringList names = Descriptions(entries);
    dialog->setNameFilters(names);
    if (!settings.InitialDir.empty()) dialog->setDirectory(QFile::decodeName(settings.InitialDir.c_str()));
    if (!settings.FileName.empty()) dialog->selectFile(QFile::decodeName(settings.FileName.c_str()));

    // Qt reads a filter's patterns from its description, separated by
    // blanks; ours are separated by ";". The dialog's file model gets the
    // patterns of the chosen type after Qt has set its own.
    QFileSystemModel* model = dialog->findChild<QFileSystemModel*>();
    auto usePatterns = [model, entries](int index) {
        if (!model || index < 1 || index > int(entries.size())) return;
        model->setNameFilters(entries[size_t(index - 1)].pattern.split(';', Qt::SkipEmptyParts));
    };
    int first = std::clamp(settings.FilterIndex, 1, std::max(int(entries.size()), 1));
    if (!names.isEmpty()) dialog->selectNameFilter(names[first - 1]);
    usePatterns(first);
    QObject::connect(dialog.get(), &QFileDialog::filterSelected, dialog.get(),
                     [usePatterns, names](const QString& name) { usePatterns(int(names.indexOf(name)) + 1); });
    return dialog;
}

// Shows an open dialog made by make; false when the user cancelled.
template <class Settings, class Make>
bool ExecuteOpen(Settings& settings, Make make) {
    if (dialogs::test::Logged(
            {settings.Title, settings.Filter, {}, settings.InitialDir, settings.FileName, settings.FilterIndex, true}))
        return TakeAnswer(dialogs::test::NextAnswer(settings.Title), settings.FileName, settings.FilterIndex);
    QWidget* window = dialogs::OwnerWindow(qobject_cast<QWidget*>(settings.parent()));
    std::unique_ptr<QFileDialog> dialog = make(settings, window);
    dialogs::KeepAbove(dialog.get(), window);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return false;
    settings.FileName = QFile::encodeName(dialog->selectedFiles().front()).toStdString();
    settings.FilterIndex = ChosenType(*dialog, Descriptions(ParseFilter(settings.Filter)));
    return true;
}
}  // namespace

std::unique_ptr<QFileDialog> MakeOpenPictureDialog(const TOpenPictureDialog& settings, QWidget* parent) {
    std::unique_ptr<QFileDialog> dialog = MakeOpenDialog(settings, parent);
    auto* preview = new PicturePreview(dialog.get());
    if (auto* grid = qobject_cast<QGridLayout*>(dialog->layout()))
        grid->addWidget(preview, 0, grid->columnCount(), grid->rowCount(), 1);
    QObject::connect(dialog.get(), &QFileDialog::currentChanged, preview,
                     [preview](const QString& path) { preview->Show(path); });
    return dialog;
}

}  // namespace dialogs

bool TOpenPictureDialog::Execute() { return dialogs::ExecuteOpen(*this, dialogs::MakeOpenPictureDialog); }

bool TOpenDialog::Execute() { return dialogs::ExecuteOpen(*this, dialogs::MakeOpenDialog<TOpenDialog>); }
