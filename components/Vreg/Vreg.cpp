#include "components/Vreg/Vreg.h"

#include "platform/errors/Exception.h"
#include "platform/module/module.h"
#include "platform/registry/registry.h"

#include <QCheckBox>
#include <QFile>
#include <QRadioButton>
#include <QStandardPaths>

TVReg::TVReg(QObject* owner) : QObject(owner) {}

AnsiString TVReg::SettingsKey() const {
    if (firmenname_.empty()) return "Software\\" + programmname_;
    return "Software\\" + firmenname_ + "\\" + programmname_;
}

void TVReg::Push(const AnsiString& name, const AnsiString& text) {
    registry::TRegistry reg;
    if (!reg.OpenKey(SettingsKey(), true)) throw ERegistryException(ansi::Format("Failed to set data for '%s'", name));
    reg.WriteString(name, text);
}

AnsiString TVReg::Pop(const AnsiString& name) {
    registry::TRegistry reg;
    if (!reg.OpenKey(SettingsKey(), false)) return {};
    return reg.ReadString(name);
}

AnsiString TVReg::AppDir() {
    AnsiString exe = module::ExecutablePath();
    size_t slash = exe.rfind('/');
    return slash == AnsiString::npos ? AnsiString() : exe.substr(0, slash + 1);
}

bool TVReg::IsInt(const AnsiString& text) { return !text.empty() && text[0] >= '0' && text[0] <= '9'; }

void TVReg::PushCheckBox(const AnsiString& name, const QCheckBox* box) { Push(name, box->isChecked() ? "1" : "0"); }

bool TVReg::PopCheckBox(const AnsiString& name, bool) { return Pop(name) == "1"; }

bool TVReg::IsChecked(const QRadioButton* button) { return button->isChecked(); }
void TVReg::SetChecked(QRadioButton* button) { button->setChecked(true); }

AnsiString TVReg::PositionText(std::span<const bool> set) {
    AnsiString text = "0";
    for (size_t k = 0; k < set.size(); ++k)
        if (set[k]) text = ansi::IntToStr(static_cast<long long>(k) + 1);
    return text;
}

int TVReg::PoppedPosition(const AnsiString& name, int count, int def) {
    AnsiString text = Pop(name);
    for (int k = 1; k <= count; ++k)
        if (text == ansi::IntToStr(k)) return k;
    return def >= 1 && def <= count ? def : 0;
}

AnsiString TVReg::GetShellFolder(const AnsiString& name) {
    // The user's standard folders as the desktop's XDG settings name them.
    struct Known {
        const char* name;
        QStandardPaths::StandardLocation location;
        const char* below;
    };
    static const Known kKnown[] = {
        {"Cache", QStandardPaths::GenericCacheLocation, ""},
        {"Desktop", QStandardPaths::DesktopLocation, ""},
        {"Fonts", QStandardPaths::FontsLocation, ""},
        {"Personal", QStandardPaths::DocumentsLocation, ""},
        {"My Music", QStandardPaths::MusicLocation, ""},
        {"My Pictures", QStandardPaths::PicturesLocation, ""},
        {"My Video", QStandardPaths::MoviesLocation, ""},
        {"Programs", QStandardPaths::ApplicationsLocation, ""},
        {"Start Menu", QStandardPaths::ApplicationsLocation, ""},
        {"Startup", QStandardPaths::GenericConfigLocation, "autostart"},
        {"AppData", QStandardPaths::GenericDataLocation, ""},
    };
    AnsiString folder;
    for (const Known& k : kKnown) {
        if (ansi::LowerCase(name) != ansi::LowerCase(k.name)) continue;
        QString path = QStandardPaths::writableLocation(k.location);
        if (!path.isEmpty() && *k.below) path += '/' + QString::fromLatin1(k.below);
        folder = QFile::encodeName(path).toStdString();
        break;
    }
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}
