#pragma once
// TVReg: small named settings of one program in the per-user registry, as
// string values under "Software\<company>\<program>", and the folder of the
// running executable. Every call opens the registry, does one read or one
// write, and releases it again; nothing is cached.

#include "platform/ansi/ansi.h"

#include <QObject>
#include <array>
#include <span>
#include <tuple>
#include <type_traits>
#include <utility>

class QCheckBox;
class QRadioButton;

class TVReg : public QObject {
    Q_OBJECT
    Q_PROPERTY(std::string Programmname READ Programmname WRITE SetProgrammname)
    Q_PROPERTY(std::string Firmenname READ Firmenname WRITE SetFirmenname)

public:
    explicit TVReg(QObject* owner = nullptr);

    AnsiString Programmname() const { return programmname_; }
    void SetProgrammname(const AnsiString& value) { programmname_ = value; }
    AnsiString Firmenname() const { return firmenname_; }
    void SetFirmenname(const AnsiString& value) { firmenname_ = value; }

    // "Software\<Programmname>", or "Software\<Firmenname>\<Programmname>".
    AnsiString SettingsKey() const;

    // Stores the text (it may be empty) as a string value, creating missing
    // keys. Raises ERegistryException "Failed to set data for '%s'".
    void Push(const AnsiString& name, const AnsiString& text);
    // The stored text; empty when the key or the value is missing (nothing is
    // created). Raises ERegistryException "Invalid data type for '%s'" when
    // the value is not a string.
    AnsiString Pop(const AnsiString& name);
    // Folder of the running executable, ending in "/".
    AnsiString AppDir();

    // True when the text begins with a digit 0-9.
    bool IsInt(const AnsiString& text);

    // A check box as "1" or "0"; only a stored "1" pops as true.
    void PushCheckBox(const AnsiString& name, const QCheckBox* box);
    bool PopCheckBox(const AnsiString& name, bool unused);

    // A group of 2 to 10 radio buttons (or flags) as the 1-based position of
    // the checked one, "0" for none; the highest position wins.
    template <class... B>
    requires(sizeof...(B) >= 2 && sizeof...(B) <= 10 &&
             (std::is_convertible_v<B, const QRadioButton*> && ...)) void PushRadioButtons(const AnsiString& name,
                                                                                           B... buttons) {
        std::array<bool, sizeof...(B)> set{IsChecked(buttons)...};
        Push(name, PositionText(set));
    }
    template <class... F>
    requires(sizeof...(F) >= 2 && sizeof...(F) <= 10 &&
             (std::is_same_v<F, bool*> && ...)) void PushBool(const AnsiString& name, F... flags) {
        std::array<bool, sizeof...(F)> set{*flags...};
        Push(name, PositionText(set));
    }
    // Pops the position and checks that button (sets that flag); a missing
    // or unusable value applies the default position when it is in range.
    // Arguments: name, the 2 to 10 buttons (flag addresses), default position.
    template <class... A>
    requires(sizeof...(A) >= 3 && sizeof...(A) <= 11) void PopRadioButtons(const AnsiString& name, A... args) {
        auto [buttons, def] = SplitLast<QRadioButton*>(args...);
        if (int k = PoppedPosition(name, static_cast<int>(buttons.size()), def))
            SetChecked(buttons[static_cast<size_t>(k - 1)]);
    }
    template <class... A>
    requires(sizeof...(A) >= 3 && sizeof...(A) <= 11) void PopBool(const AnsiString& name, A... args) {
        auto [flags, def] = SplitLast<bool*>(args...);
        if (int k = PoppedPosition(name, static_cast<int>(flags.size()), def))
            *flags[static_cast<size_t>(k - 1)] = true;
    }

    // The user's standard folders, ending in "/"; empty when not known.
    AnsiString GetShellFolder(const AnsiString& name);
    AnsiString GetDirCache() { return GetShellFolder("Cache"); }
    AnsiString GetDirDesktop() { return GetShellFolder("Desktop"); }
    AnsiString GetDirFavorites() { return GetShellFolder("Favorites"); }
    AnsiString GetDirFonts() { return GetShellFolder("Fonts"); }
    AnsiString GetDirNetHood() { return GetShellFolder("NetHood"); }
    AnsiString GetDirPersonal() { return GetShellFolder("Personal"); }
    AnsiString GetDirPrograms() { return GetShellFolder("Programs"); }
    AnsiString GetDirSendTo() { return GetShellFolder("SendTo"); }
    AnsiString GetDirStartMenu() { return GetShellFolder("Start Menu"); }
    AnsiString GetDirStartup() { return GetShellFolder("Startup"); }
    AnsiString GetDirAppData() { return GetShellFolder("AppData"); }
    AnsiString GetDirQuickLaunch() { return GetShellFolder("Quick Launch"); }

private:
    static bool IsChecked(const QRadioButton* button);
    static void SetChecked(QRadioButton* button);
    static AnsiString PositionText(std::span<const bool> set);
    int PoppedPosition(const AnsiString& name, int count, int def);

    // (a1, ..., aN, d) -> ({a1, ..., aN}, d)
    template <class T, class... A>
    static auto SplitLast(A... args) {
        constexpr size_t n = sizeof...(A) - 1;
        auto all = std::make_tuple(args...);
        auto first = [&]<size_t... I>(std::index_sequence<I...>) {
            return std::array<T, n>{static_cast<T>(std::get<I>(all))...};
        }
        (std::make_index_sequence<n>());
        return std::pair{first, static_cast<int>(std::get<n>(all))};
    }

    AnsiString programmname_, firmenname_;
};
