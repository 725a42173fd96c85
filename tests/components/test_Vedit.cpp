#include "components/Vedit/Vedit.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QKeySequence>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWidget>
#include <memory>

using namespace testsupport;

namespace {

std::vector<AnsiString> Lines(const QStringList& texts) {
    std::vector<AnsiString> lines;
    for (const QString& t : texts) lines.push_back(ansi::FromQString(t));
    return lines;
}

// Counts the focus a widget receives.
class FocusCounter : public QObject {
public:
    explicit FocusCounter(QWidget* watched) : QObject(watched) { watched->installEventFilter(this); }
    int received = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::FocusIn) ++received;
        return false;
    }
};

// Keys as the user presses them, each to the focused control: plain
// characters are typed, "{Name}" is a key by its QKeySequence name.
void Press(const QString& keys) {
    for (qsizetype i = 0; i < keys.size(); ++i) {
        QWidget* target = QApplication::focusWidget();
        QVERIFY(target);
        if (keys[i] != '{') {
            TypeText(target, QString(keys[i]));
            continue;
        }
        const qsizetype end = keys.indexOf('}', i);
        QVERIFY(end > i);
        const QKeySequence sequence = QKeySequence::fromString(keys.mid(i + 1, end - i - 1));
        QVERIFY2(sequence.count() == 1, qPrintable(keys));
        QTest::keyClick(target, sequence[0].key(), sequence[0].keyboardModifiers());
        i = end;
    }
}

}  // namespace

class TestVedit : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> window;
    TVEdit* edit = nullptr;
    QLineEdit* next = nullptr;

    // A window with the edit and a plain edit after it; the focus in the edit.
    TVEdit* Show(const QStringList& data = {"Berlin", "Bern"}) {
        window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        edit = new TVEdit(window.get());
        edit->setObjectName("VEdit1");
        edit->SetDataList(Lines(data));
        next = new QLineEdit(window.get());
        next->setObjectName("Edit2");
        layout->addWidget(edit);
        layout->addWidget(next);
        window->show();
        QApplication::setActiveWindow(window.get());
        if (!QTest::qWaitForWindowActive(window.get())) return nullptr;
        edit->setFocus();
        return QApplication::focusWidget() == edit ? edit : nullptr;
    }

private slots:
    void init() { FreshSandbox(); }
    void cleanup() {
        window.reset();
        edit = nullptr;
        next = nullptr;
    }

    void defaults() {
        TVEdit e;
        QVERIFY(e.DataList().empty() && e.ExclusionList().empty());
        QVERIFY(!e.CaseSensitiveData());
        QVERIFY(e.CaseSensitiveExlusion());
        QVERIFY(!e.OnlyIfUnequivocal());
        QVERIFY(e.ExitAfterTab());
        // The lists are copies: changing the caller's list changes nothing.
        std::vector<AnsiString> lines{"Berlin"};
        e.SetDataList(lines);
        lines[0] = "Bonn";
        QCOMPARE(e.DataList(), std::vector<AnsiString>{"Berlin"});
        QVERIFY(e.setProperty("OnlyIfUnequivocal", true));
        QVERIFY(e.OnlyIfUnequivocal());
    }

    // What the edit shows after the keys, and which part of it is selected.
    void completion_data() {
        QTest::addColumn<QStringList>("data");
        QTest::addColumn<QStringList>("exclusion");
        QTest::addColumn<QString>("options");  // "data case", "exclusion nocase", "unequivocal"
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<int>("cursor");
        const QStringList cities{"Berlin", "Bern"};
        // clang-format off
        QTest::newRow("first letter") << cities << QStringList() << "" << "b" << "Berlin" << "erlin" << 6;
        QTest::newRow("typing on over the suggestion") << cities << QStringList() << "" << "be" << "Berlin" << "rlin"
                                                       << 6;
        QTest::newRow("second entry once the first differs")
            << cities << QStringList() << "" << "bern" << "Bern" << "" << 4;
        QTest::newRow("entry's letter case wins") << cities << QStringList() << "" << "BERL" << "Berlin" << "in" << 6;
        // What the user typed takes the entry's case too.
        QTest::newRow("no entry begins so") << cities << QStringList() << "" << "bx" << "Bx" << "" << 2;
        QTest::newRow("code-page letters ignore case")
            << QStringList{"\u00d6sterreich"} << QStringList() << "" << "\u00f6" << "\u00d6sterreich" << "sterreich"
            << 10;
        QTest::newRow("case-sensitive entries, small b") << cities << QStringList() << "data case" << "b" << "b" << ""
                                                         << 1;
        QTest::newRow("case-sensitive entries, capital B")
            << cities << QStringList() << "data case" << "B" << "Berlin" << "erlin" << 6;
        QTest::newRow("unequivocal, two match") << cities << QStringList() << "unequivocal" << "ber" << "ber" << ""
                                                << 3;
        QTest::newRow("unequivocal, one matches") << cities << QStringList() << "unequivocal" << "berl" << "Berlin"
                                                  << "in" << 6;
        QTest::newRow("unequivocal, the other") << cities << QStringList() << "unequivocal" << "bern" << "Bern" << ""
                                                << 4;
        const QStringList ber{"Ber"};
        QTest::newRow("exclusion respects case") << cities << ber << "" << "B" << "B" << "" << 1;
        QTest::newRow("exclusion, other case completes") << cities << ber << "" << "b" << "Berlin" << "erlin" << 6;
        QTest::newRow("exclusion, whole excluded line") << cities << ber << "" << "Ber" << "Ber" << "" << 3;
        QTest::newRow("exclusion, typed beyond it") << cities << ber << "" << "Berl" << "Berlin" << "in" << 6;
        QTest::newRow("exclusion ignoring case") << cities << ber << "exclusion nocase" << "b" << "b" << "" << 1;
        QTest::newRow("backspace removes the suggestion") << cities << QStringList() << "" << "b{Backspace}" << "B"
                                                          << "" << 1;
        QTest::newRow("delete removes the suggestion") << cities << QStringList() << "" << "b{Del}" << "B" << "" << 1;
        // Shift+Home selects without completing; the cut leaves the text
        // empty, which every entry begins, and the release of Ctrl after it
        // completes once more: the whole entry stays, nothing selected.
        QTest::newRow("cut to empty completes the first entry")
            << cities << QStringList() << "" << "bern{Shift+Home}{Ctrl+X}" << "Berlin" << "" << 6;
        QTest::newRow("cut to empty with any exclusion")
            << cities << QStringList{"zz"} << "" << "bern{Shift+Home}{Ctrl+X}" << "" << "" << 0;
        QTest::newRow("cut to empty, unequivocal, two entries")
            << cities << QStringList() << "unequivocal" << "bern{Shift+Home}{Ctrl+X}" << "" << "" << 0;
        QTest::newRow("cut to empty, unequivocal, one entry")
            << QStringList{"Bern"} << QStringList() << "unequivocal" << "bern{Shift+Home}{Ctrl+X}" << "Bern" << ""
            << 4;
        // clang-format on
    }
    void completion() {
        QFETCH(QStringList, data);
        QFETCH(QStringList, exclusion);
        QFETCH(QString, options);
        QFETCH(QString, keys);
        QFETCH(QString, text);
        QFETCH(QString, selected);
        QFETCH(int, cursor);
        QVERIFY(Show(data));
        edit->SetExclusionList(Lines(exclusion));
        edit->SetCaseSensitiveData(options.contains("data case"));
        edit->SetCaseSensitiveExlusion(!options.contains("exclusion nocase"));
        edit->SetOnlyIfUnequivocal(options.contains("unequivocal"));
        Press(keys);
        QCOMPARE(edit->text(), text);
        QCOMPARE(edit->selectedText(), selected);
        QCOMPARE(edit->cursorPosition(), cursor);
    }

    // Starting from "be" typed without completion, each key does what it does
    // in a plain edit; only some of them then complete. Each key is pressed
    // and released alone: a modifier's own key is a row of its own.
    void keysThatDoNotComplete_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("text");  // empty: completed to "Berlin" from the cursor
        const int none = Qt::NoModifier;
        const struct {
            const char* name;
            Qt::Key key;
            const char* text;
        } kept[] = {
            {"Backspace", Qt::Key_Backspace, "b"},
            {"Delete", Qt::Key_Delete, "be"},
            {"Space", Qt::Key_Space, "be "},
            {"Return", Qt::Key_Return, "be"},
            {"Enter", Qt::Key_Enter, "be"},
            {"Home", Qt::Key_Home, "be"},
            {"End", Qt::Key_End, "be"},
            {"Left", Qt::Key_Left, "be"},
            {"Right", Qt::Key_Right, "be"},
            {"Up", Qt::Key_Up, "be"},
            {"Down", Qt::Key_Down, "be"},
            {"PageUp", Qt::Key_PageUp, "be"},
            {"PageDown", Qt::Key_PageDown, "be"},
            {"Shift", Qt::Key_Shift, "be"},
            {"CapsLock", Qt::Key_CapsLock, "be"},
            {"Escape", Qt::Key_Escape, "be"},
            {"Clear", Qt::Key_Clear, "be"},
            {"Insert", Qt::Key_Insert, "be"},
            {"Select", Qt::Key_Select, "be"},
            {"Print", Qt::Key_Printer, "be"},
            {"Execute", Qt::Key_Execute, "be"},
            {"Print Screen", Qt::Key_Print, "be"},
            {"SysReq", Qt::Key_SysReq, "be"},
            {"Meta", Qt::Key_Meta, "be"},
            {"Left Windows", Qt::Key_Super_L, "be"},
            {"Right Windows", Qt::Key_Super_R, "be"},
            {"Applications", Qt::Key_Menu, "be"},
            {"F1", Qt::Key_F1, "be"},
            {"F12", Qt::Key_F12, "be"},
        };
        for (const auto& k : kept) QTest::newRow(k.name) << int(k.key) << none << k.text;
        for (int f = Qt::Key_F2; f <= Qt::Key_F11; ++f) QTest::addRow("F%d", f - Qt::Key_F1 + 1) << f << none << "be";
        // The same text completed: these keys do complete.
        QTest::newRow("Ctrl key") << int(Qt::Key_Control) << none << "";
        QTest::newRow("Alt key") << int(Qt::Key_Alt) << none << "";
        QTest::newRow("Ctrl+A") << int(Qt::Key_A) << int(Qt::ControlModifier) << "";
        QTest::newRow("Ctrl+Z, nothing to undo") << int(Qt::Key_Z) << int(Qt::ControlModifier) << "";
    }
    void keysThatDoNotComplete() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, text);
        QVERIFY(Show({"Berlin", "Bern", "be happy"}));
        edit->setText("be");
        for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent event(type, key, Qt::KeyboardModifiers(modifiers), key == Qt::Key_Space ? " " : "");
            QApplication::sendEvent(QApplication::focusWidget(), &event);
        }
        if (text.isEmpty()) {
            QCOMPARE(edit->text(), QString("Berlin"));
            QCOMPARE(edit->selectedText(), QString("rlin"));
        } else {
            QCOMPARE(edit->text(), text);
            QVERIFY(!edit->hasSelectedText());
        }
    }

    // A held key sends releases of its repeats; only the last release counts.
    void autoRepeatReleasesDoNotComplete() {
        QVERIFY(Show());
        edit->setText("b");
        QKeyEvent repeat(QEvent::KeyRelease, Qt::Key_B, Qt::NoModifier, "b", true);
        QApplication::sendEvent(QApplication::focusWidget(), &repeat);
        QCOMPARE(edit->text(), QString("b"));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_B, Qt::NoModifier, "b", false);
        QApplication::sendEvent(QApplication::focusWidget(), &release);
        QCOMPARE(edit->text(), QString("Berlin"));
    }

    void readOnlyEditKeepsItsText() {
        QVERIFY(Show());
        edit->setText("b");
        edit->setReadOnly(true);
        Press("b{Ctrl+A}");
        QCOMPARE(edit->text(), QString("b"));
    }

    // OnSelect sees the entry found and the typed length, and decides what is
    // shown and from where it is selected.
    void onSelect_data() {
        QTest::addColumn<bool>("handler");
        QTest::addColumn<QString>("newText");  // empty: unchanged
        QTest::addColumn<int>("newPos");       // -1000: unchanged
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("selected");
        // clang-format off
        QTest::newRow("no handler") << false << "" << -1000 << "Berlin" << "erlin";
        QTest::newRow("handler changes nothing") << true << "" << -1000 << "Berlin" << "erlin";
        QTest::newRow("position 0 selects all") << true << "" << 0 << "Berlin" << "Berlin";
        QTest::newRow("other text") << true << "Berlin (Germany)" << -1000 << "Berlin (Germany)" << "erlin (Germany)";
        QTest::newRow("other text and position") << true << "Bern, CH" << 4 << "Bern, CH" << ", CH";
        QTest::newRow("negative position") << true << "" << -5 << "Berlin" << "Berlin";
        QTest::newRow("position past the end") << true << "" << 99 << "Berlin" << "";
        // clang-format on
    }
    void onSelect() {
        QFETCH(bool, handler);
        QFETCH(QString, newText);
        QFETCH(int, newPos);
        QFETCH(QString, text);
        QFETCH(QString, selected);
        QVERIFY(Show());
        QObject* sender = nullptr;
        AnsiString offered;
        int offeredPos = -1;
        if (handler)
            edit->OnSelect = [&](QObject* s, AnsiString& selText, int& selPos) {
                sender = s;
                offered = selText;
                offeredPos = selPos;
                if (!newText.isEmpty()) selText = ansi::FromQString(newText);
                if (newPos != -1000) selPos = newPos;
            };
        Press("b");
        QCOMPARE(edit->text(), text);
        QCOMPARE(edit->selectedText(), selected);
        if (handler) {
            QCOMPARE(sender, static_cast<QObject*>(edit));
            QCOMPARE(offered, AnsiString("Berlin"));
            QCOMPARE(offeredPos, 1);
        }
    }

    // Leaving by Tab, Shift+Tab or a click: with ExitAfterTab the focus goes
    // and OnExit fires; without it the focus comes back and OnExit is quiet.
    void leaving_data() {
        QTest::addColumn<bool>("exitAfterTab");
        QTest::addColumn<QString>("how");
        for (bool exit : {true, false})
            for (const char* how : {"Tab", "Shift+Tab", "click"})
                QTest::addRow("%s, %s", exit ? "exits" : "stays", how) << exit << QString(how);
    }
    void leaving() {
        QFETCH(bool, exitAfterTab);
        QFETCH(QString, how);
        QVERIFY(Show());
        edit->SetExitAfterTab(exitAfterTab);
        int exits = 0;
        edit->OnExit = [&](QObject* sender) {
            QCOMPARE(sender, static_cast<QObject*>(edit));
            ++exits;
        };
        if (how == "click") QTest::mouseClick(next, Qt::LeftButton);
        else
            Press("{" + how + "}");
        QWidget* expected = exitAfterTab ? static_cast<QWidget*>(next) : edit;
        QTRY_COMPARE(QApplication::focusWidget(), expected);
        QCOMPARE(exits, exitAfterTab ? 1 : 0);
        // Typing goes on in the edit that has the focus.
        Press("x");
        QCOMPARE(next->text(), exitAfterTab ? QString("x") : QString());
    }

    // Two edits that both keep the focus: the one that had it keeps it, and
    // neither takes it back from the other again and again.
    void twoEditsKeepingTheFocus() {
        QVERIFY(Show());
        auto* second = new TVEdit(window.get());
        second->setObjectName("VEdit2");
        window->layout()->addWidget(second);
        second->show();
        QWidget::setTabOrder(edit, second);
        edit->SetExitAfterTab(false);
        second->SetExitAfterTab(false);
        auto* firstFocus = new FocusCounter(edit);
        auto* secondFocus = new FocusCounter(second);
        Press("{Tab}");
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(edit));
        QCOMPARE(firstFocus->received, 1);
        QCOMPARE(secondFocus->received, 1);
        for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(edit));
        QCOMPARE(firstFocus->received, 1);
        QCOMPARE(secondFocus->received, 1);
    }

    // Another window becoming active takes the focus without a fight, and it
    // is no leaving of the edit.
    void otherWindowActivated_data() {
        QTest::addColumn<bool>("exitAfterTab");
        QTest::newRow("exits") << true;
        QTest::newRow("stays") << false;
    }
    void otherWindowActivated() {
        QFETCH(bool, exitAfterTab);
        QVERIFY(Show());
        edit->SetExitAfterTab(exitAfterTab);
        int exits = 0;
        edit->OnExit = [&](QObject*) { ++exits; };
        QWidget other;
        auto* otherEdit = new QLineEdit(&other);
        other.show();
        QApplication::setActiveWindow(&other);
        QVERIFY(QTest::qWaitForWindowActive(&other));
        otherEdit->setFocus();
        for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(otherEdit));
        QCOMPARE(exits, 0);
        // Back in the edit's window, the edit has the focus again.
        QApplication::setActiveWindow(window.get());
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(edit));
    }
};

FLICKSTOW_TEST_MAIN(TestVedit)
#include "test_Vedit.moc"
