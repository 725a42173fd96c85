#include "app/about/TForm3.h"
#include "app/entryeditor/TForm2.h"
#include "app/formats/CatalogueFile.h"
#include "app/forms/FormKeys.h"
#include "app/forms/SaveWithoutLoss.h"
#include "app/forms/TImage.h"
#include "app/genres/TForm4.h"
#include "app/mainwindow/TForm1.h"
#include "components/Vreg/Vreg.h"
#include "components/scansource/ScanSource.h"
#include "platform/files/files.h"
#include "tests/app/Windows.h"
#include "tests/support/ProgramFolder.h"
#include "tests/support/TestSupport.h"
#include "tests/support/UrlSink.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unistd.h>

using namespace testsupport;

namespace {

const AnsiString kTwoFilms = CatalogueBlock("Solaris", "3") + CatalogueBlock("Stalker", "4");

}  // namespace

// Runs the steps in a modal dialog once it shows, whenever an action opens
// it, then closes it.
struct WhenShown : QObject {
    WhenShown(QDialog* opened, std::function<void()> run = {}) : dialog(opened), steps(std::move(run)) {
        dialog->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show && !std::exchange(shown, true))
            QTimer::singleShot(0, this, [this] { steps ? steps() : void(dialog->close()); });
        return false;
    }
    QDialog* dialog;
    std::function<void()> steps;
    bool shown = false;
};

class TestTForm1 : public QObject {
    Q_OBJECT

    std::unique_ptr<TForm1> form;

    TForm1* Show(const AnsiString* catalogue = &kTwoFilms) {
        if (catalogue) PutCatalogue(*catalogue);
        form = std::make_unique<TForm1>();
        form->show();
        return form.get();
    }

private slots:
    void init() { FreshSandbox(); }
    void cleanup() { form.reset(); }

    void startUpLooks() {
        TForm1* f = Show();
        QCOMPARE(f->windowTitle(), QString("Varnholt Flickstow 1.5"));
        QCOMPARE(f->size(), QSize(606, 479));
        QCOMPARE(f->minimumSize(), QSize(390, 322));
        f->resize(100, 100);
        QCOMPARE(f->size(), QSize(390, 322));
        QCOMPARE(f->Catalogue->rowCount(), 2);
        QCOMPARE(f->ListView1->model()->index(1, 0).data().toString(), QString("Stalker"));
        QCOMPARE(f->ListView1->model()->index(1, 1).data().toString(), QString("4"));
        QStringList captions;
        for (int c = 0; c < f->Catalogue->columnCount(); ++c)
            captions << f->Catalogue->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        QCOMPARE(captions, (QStringList{"Titel", "#", "Genre", "Language", "Media", "Disks", "Status", "Viewed",
                                        "Rating", "Picture", "Description"}));
        QCOMPARE(f->ListView1->horizontalHeader()->sectionSize(0), 200);
        QCOMPARE(f->ListView1->horizontalHeader()->sectionSize(1), 40);
        QStringList buttons;
        for (QToolButton* b : {f->ToolButton4, f->ToolButton1, f->ToolButton2, f->ToolButton6, f->ToolButton3})
            buttons << b->text();
        QCOMPARE(buttons, (QStringList{"&New Entry", "&Modify", "&Delete", "&Print", "&Exit"}));
        QCOMPARE(f->New1->shortcut(), QKeySequence(Qt::Key_F2));
        QCOMPARE(f->ModifyEntry1->shortcut(), QKeySequence(Qt::Key_F3));
        QCOMPARE(f->AboutFlickstow1->shortcut(), QKeySequence(Qt::Key_F1));
        QVERIFY(f->Image1->isHidden());
        QCOMPARE(f->Image1->Picture().size(), QSize(56, 48));
        QCOMPARE(f->Image3->Picture().size(), QSize(32, 32));
    }

    void statusBar() {
        TForm1* f = Show();
        QCOMPARE(f->StatusPanelText(0), QString());
        QCOMPARE(f->StatusPanelText(1), QString("  2 Filmes listed"));
        QCOMPARE(f->StatusPanelText(2), QString("  0 Filmes selected"));
        f->ListView1->selectAll();
        f->DataModified = true;
        f->UpdateStatusBar();
        QCOMPARE(f->StatusPanelText(0), QString("  Modified"));
        QCOMPARE(f->StatusPanelText(2), QString("  2 Filmes selected"));
    }

    void missingFileGivesEmptyList() {
        TForm1* f = Show(nullptr);
        QCOMPARE(f->Catalogue->rowCount(), 0);
        QVERIFY(Boxes().empty());
        QCOMPARE(f->StatusPanelText(1), QString("  0 Filmes listed"));
        QVERIFY(f->close());
        QVERIFY(!files::FileExists(InProgramDir("data.vrx")));
    }

    void closeUnchangedAsksNothingWritesNothing() {
        TForm1* f = Show();
        QVERIFY(f->close());
        QVERIFY(Boxes().empty());
        QCOMPARE(ReadFile(InProgramDir("data.vrx")), kTwoFilms);
    }

    void closeQuery_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<bool>("written");
        QTest::newRow("Yes writes") << int(dialogs::IDYES) << true << true;
        QTest::newRow("No discards") << int(dialogs::IDNO) << true << false;
        QTest::newRow("Cancel stays") << int(dialogs::IDCANCEL) << false << false;
    }
    void closeQuery() {
        QFETCH(int, answer);
        QFETCH(bool, closed);
        QFETCH(bool, written);
        const AnsiString catalogue = CatalogueBlock("Solaris", "3") + CatalogueBlock("Stalker", "");
        TForm1* f = Show(&catalogue);
        f->Catalogue->AppendRecord({"Mirror", "9", "Drama", "", "", "1", "", "", "", "", ""});
        f->DataModified = true;
        dialogs::test::QueueAnswer(answer);
        QCOMPARE(f->close(), closed);
        QCOMPARE(Boxes().size(), size_t(1));
        QCOMPARE(Boxes()[0].text, AnsiString("Data was modified.\nDo you want to save the changes?"));
        QCOMPARE(Boxes()[0].caption, AnsiString("Save changes"));
        QCOMPARE(Boxes()[0].icon, dialogs::Icon::Question);
        QCOMPARE(Boxes()[0].buttons, dialogs::Buttons::YesNoCancel);
        QVERIFY(f->Keys().SkipNextKeyUp);
        AnsiString file = ReadFile(InProgramDir("data.vrx"));
        // The blank MID got its number on loading; a save writes it.
        AnsiString saved = CatalogueBlock("Solaris", "3") + CatalogueBlock("Stalker", "1") +
                           "Mirror\r\nDrama\r\n\r\n\r\n1\r\n\r\n\r\n9\r\n\r\n\r\n\r\n\r\n***\r\n";
        QCOMPARE(file == saved, written);
        QCOMPARE(f->isVisible(), !closed);
    }

    void saveFailureKeepsWindowOpen() {
        TForm1* f = Show(nullptr);
        // A folder in place of the file: it cannot be replaced.
        QVERIFY(QDir().mkdir(QString::fromStdString(InProgramDir("data.vrx"))));
        f->Catalogue->AppendRecord({"Mirror", "1", "", "", "", "1", "", "", "", "", ""});
        f->DataModified = true;
        dialogs::test::QueueAnswer(dialogs::IDYES);
        dialogs::test::QueueAnswer(dialogs::IDOK);
        QVERIFY(!f->close());
        QCOMPARE(Boxes().size(), size_t(2));
        // The system's reason follows on a line of its own.
        QCOMPARE(QString::fromStdString(Boxes()[1].text),
                 QString::fromStdString("Cannot create file " + InProgramDir("data.vrx") + ".\n") +
                     QString::fromLocal8Bit(std::strerror(EISDIR)) + ".");
        QCOMPARE(Boxes()[1].caption, AnsiString("Varnholt Flickstow"));
        QCOMPARE(Boxes()[1].icon, dialogs::Icon::Error);
        QVERIFY(f->isVisible());
        QVERIFY(f->DataModified);
        QCOMPARE(f->Catalogue->rowCount(), 1);
    }

    void interruptedSaveKeepsOldFile() {
        TForm1* f = Show();
        f->DataModified = true;
        files::test::FailNextWriteAfter(100);
        dialogs::test::QueueAnswer(dialogs::IDYES);
        dialogs::test::QueueAnswer(dialogs::IDOK);
        QVERIFY(!f->close());
        QCOMPARE(ReadFile(InProgramDir("data.vrx")), kTwoFilms);
        QCOMPARE(QString::fromStdString(Boxes()[1].text),
                 QString::fromStdString("Cannot create file " + InProgramDir("data.vrx") + ".\n") +
                     QString::fromLocal8Bit(std::strerror(ENOSPC)) + ".");
        // A second try succeeds.
        dialogs::test::QueueAnswer(dialogs::IDYES);
        QVERIFY(f->close());
        QCOMPARE(ReadFile(InProgramDir("data.vrx")), kTwoFilms);
    }

    // The error escapes the show handler: the default error box reports it
    // and the window opens with an empty list. The file (or the folder, or
    // the links going round in a circle, in its place) is never replaced,
    // and the user can still leave without saving.
    void unreadableFileIsNeverReplaced_data() {
        QTest::addColumn<QString>("fault");
        QTest::newRow("file that cannot be read") << "unreadable";
        QTest::newRow("folder in its place") << "folder";
        QTest::newRow("links in a circle") << "loop";
    }
    void unreadableFileIsNeverReplaced() {
        QFETCH(QString, fault);
        const AnsiString path = InProgramDir("data.vrx");
        if (fault == "folder") {
            QVERIFY(QDir().mkdir(QString::fromStdString(path)));
        } else if (fault == "loop") {
            QCOMPARE(::symlink("films.vrx", path.c_str()), 0);
            QCOMPARE(::symlink("data.vrx", InProgramDir("films.vrx").c_str()), 0);
        } else {
            WriteFile(path, kTwoFilms);
            files::test::FailReadsOf(path);
        }
        auto unchanged = [&] {
            if (fault == "folder") return files::KindOf(path) == files::PathKind::Folder;
            if (fault == "loop") return QFileInfo(QString::fromStdString(path)).symLinkTarget().endsWith("films.vrx");
            return ReadFile(path) == kTwoFilms;
        };
        dialogs::test::QueueAnswer(dialogs::IDOK);
        TForm1* f = Show(nullptr);
        files::test::FailReadsOf("");
        QCOMPARE(Boxes().size(), size_t(1));
        QCOMPARE(Boxes()[0].text, "Cannot open file " + path + ".");
        QCOMPARE(Boxes()[0].caption, AnsiString("Varnholt Flickstow"));
        QVERIFY(f->isVisible());
        QCOMPARE(f->Catalogue->rowCount(), 0);
        QCOMPARE(f->StatusPanelText(1), QString());
        f->Catalogue->AppendRecord({"Mirror", "1", "", "", "", "1", "", "", "", "", ""});
        f->DataModified = true;
        dialogs::test::QueueAnswer(dialogs::IDYES);
        dialogs::test::QueueAnswer(dialogs::IDOK);
        QVERIFY(!f->close());
        QCOMPARE(Boxes()[2].text, "Cannot create file " + path + ".");
        QVERIFY(unchanged());
        dialogs::test::QueueAnswer(dialogs::IDNO);
        QVERIFY(f->close());
        QVERIFY(unchanged());
        QVERIFY(!files::FileExists(path + ".bak"));
    }

    // Each save keeps the catalogue it replaces as "data.vrx.bak"; a
    // catalogue that is a link is saved through the link.
    void saveKeepsPreviousCatalogue_data() {
        QTest::addColumn<bool>("link");
        QTest::newRow("plain file") << false;
        QTest::newRow("link to the file") << true;
    }
    void saveKeepsPreviousCatalogue() {
        QFETCH(bool, link);
        AnsiString file = InProgramDir(link ? "films/catalogue.vrx" : "data.vrx");
        if (link) {
            QVERIFY(QDir().mkpath(QString::fromStdString(InProgramDir("films"))));
            QCOMPARE(::symlink("films/catalogue.vrx", InProgramDir("data.vrx").c_str()), 0);
        }
        WriteFile(file, kTwoFilms);
        for (const char* title : {"Mirror", "Nostalghia"}) {
            AnsiString before = ReadFile(file);
            TForm1* f = Show(nullptr);
            QCOMPARE(f->Catalogue->rowCount(), before == kTwoFilms ? 2 : 3);
            f->Catalogue->AppendRecord({title, "9", "", "", "", "1", "", "", "", "", ""});
            f->DataModified = true;
            dialogs::test::QueueAnswer(dialogs::IDYES);
            QVERIFY(f->close());
            QCOMPARE(ReadFile(InProgramDir("data.vrx.bak")), before);
            QVERIFY(ReadFile(file).find(AnsiString(title) + "\r\n\r\n\r\n\r\n1\r\n") != AnsiString::npos);
            QCOMPARE(QFileInfo(QString::fromStdString(InProgramDir("data.vrx"))).isSymLink(), link);
            form.reset();
        }
    }

    // The film list has the keyboard from the start and the toolbar never
    // takes it (Tab stays in the list). With the keyboard alone a user
    // selects (Home, arrows), deletes (Delete, Enter answering the box) and
    // closes (Escape); the release of a key that answered a box (the box
    // took its press) never acts on the list again.
    void keyboardAlone() {
        TForm1* f = Show();
        Activate(f);
        QCOMPARE(FocusedNow(), static_cast<QWidget*>(f->ListView1));
        UserKey(Qt::Key_Tab);
        QCOMPARE(FocusedNow(), static_cast<QWidget*>(f->ListView1));
        UserKey(Qt::Key_Home);
        QCOMPARE(f->ListView1->currentIndex().row(), 0);
        QCOMPARE(f->StatusPanelText(2), QString("  1 Filmes selected"));
        UserKey(Qt::Key_Down);
        QCOMPARE(f->ListView1->currentIndex().row(), 1);
        QCOMPARE(f->StatusPanelText(2), QString("  1 Filmes selected"));
        dialogs::test::QueueAnswer(dialogs::IDYES);
        UserKey(Qt::Key_Delete);
        QCOMPARE(Boxes().size(), size_t(1));
        QCOMPARE(f->Catalogue->rowCount(), 1);
        QCOMPARE(f->Catalogue->Record(0).Title, AnsiString("Solaris"));
        ReleaseOnly(Qt::Key_Return);
        QCOMPARE(FocusedNow(), static_cast<QWidget*>(f->ListView1));
        // Escape asks; Escape in the box is Cancel, and its release on the
        // list does not ask again.
        dialogs::test::QueueAnswer(dialogs::IDCANCEL);
        UserKey(Qt::Key_Escape);
        QCOMPARE(Boxes().size(), size_t(2));
        QCOMPARE(Boxes()[1].caption, AnsiString("Save changes"));
        ReleaseOnly(Qt::Key_Escape);
        QCOMPARE(Boxes().size(), size_t(2));
        QVERIFY(f->isVisible());
        dialogs::test::QueueAnswer(dialogs::IDNO);
        UserKey(Qt::Key_Escape);
        QVERIFY(!f->isVisible());
    }

    // Escape closes the window only while the film list has the focus.
    void escapeClosesOnlyFromTheList() {
        TForm1* f = Show();
        Activate(f);
        QLineEdit elsewhere(f->centralWidget());
        elsewhere.show();
        elsewhere.setFocus();
        QCOMPARE(FocusedNow(), static_cast<QWidget*>(&elsewhere));
        UserKey(Qt::Key_Escape);
        QVERIFY(f->isVisible());
        f->ListView1->setFocus();
        UserKey(Qt::Key_Escape);
        QVERIFY(!f->isVisible());
    }

    void tileImage() {
        TForm1* f = Show();
        TImage target;
        target.resize(130, 35);
        TileImage(f->Image1, &target);
        const QImage& tiled = target.Picture();
        QCOMPARE(tiled.size(), QSize(130, 35));
        const QImage& tile = f->Image1->Picture();
        for (QPoint p : {QPoint(0, 0), QPoint(60, 10), QPoint(129, 34), QPoint(112, 0)})
            QCOMPARE(tiled.pixel(p), tile.pixel(p.x() % 56, p.y() % 48));
    }

    void helpLinks() {
        UrlSink sink;
        TForm1* f = Show();
        f->VarnholtWebpage1->trigger();
        for (QAction* a : f->FurtherLinks) a->trigger();
        QCOMPARE(sink.opened.size(), 5);
        QSet<QString> distinct;
        for (const QUrl& u : sink.opened) {
            QVERIFY(u.host().endsWith("example.com") || u.host().endsWith("example.org"));
            distinct.insert(u.toString());
        }
        QCOMPARE(distinct.size(), 5);
    }

    // Half a second after the window is made, the scanner support starts.
    void twainStartsOnTheTimer() {
        TForm1* f = Show();
        QCOMPARE(f->TwainInitTimer->interval(), 500);
        QVERIFY(f->TwainInitTimer->isSingleShot());
        QVERIFY(f->TwainInitTimer->isActive());
        QCOMPARE(f->EntryEditor()->TWAIN->Productname(), AnsiString("Varnholt Flickstow"));
        QVERIFY(!f->EntryEditor()->TWAIN->IsDataSourceManagerOpen());
        QTRY_VERIFY(f->EntryEditor()->TWAIN->IsDataSourceManagerOpen());
        QVERIFY(!f->TwainInitTimer->isActive());
        QVERIFY(Boxes().empty());
    }

    // "TWAIN Source ..." lets the user choose among the scanners found, or
    // says that there is none.
    void twainSourceMenu_data() {
        QTest::addColumn<bool>("scanners");
        QTest::newRow("test scanners") << true;
        QTest::newRow("no scanner") << false;
    }
    void twainSourceMenu() {
        QFETCH(bool, scanners);
        ConfigureSane({}, scanners ? "test" : "");
        TForm1* f = Show();
        QTRY_VERIFY(f->EntryEditor()->TWAIN->IsDataSourceManagerOpen());
        QVERIFY(f->TWAINSource1->isEnabled());
        QStringList listed;
        bool ran = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!d || ran) return;
            ran = true;
            auto* list = d->findChild<QTreeWidget*>("SourceList");
            for (int i = 0; list && i < list->topLevelItemCount(); ++i) listed << list->topLevelItem(i)->text(2);
            d->findChild<QPushButton*>("CancelButton")->click();
        });
        poll.start(10);
        if (!scanners) dialogs::test::QueueAnswer(dialogs::IDOK);
        f->TWAINSource1->trigger();
        QCOMPARE(ran, scanners);
        if (scanners) {
            QCOMPARE(listed, (QStringList{"test:0", "test:1"}));
            QVERIFY(Boxes().empty());
        } else {
            QCOMPARE(Boxes().size(), size_t(1));
            QCOMPARE(Boxes()[0].text, AnsiString("Data Source Manager error in module SelectDataSource1:\r\nData "
                                                 "Source Manager was unable to find the specified Data Source."));
        }
    }

    // Another program changed the catalogue after this window read it (this
    // window deleted Solaris, the other Stalker): no answer loses either
    // version, and Cancel goes back to the list with the changes.
    void changedOnDisk_data() { AddChangedOnDiskRows(); }
    void changedOnDisk() {
        QFETCH(QString, change);
        QFETCH(int, answer);
        const AnsiString path = InProgramDir("data.vrx"), mine = CatalogueBlock("Stalker", "4"),
                         other = CatalogueBlock("Solaris", "3");
        TForm1* f = Show();
        f->Catalogue->RemoveFlagged({true, false});
        f->DataModified = true;
        ChangeAsAnotherProgram(path, change, other);
        dialogs::test::QueueAnswer(dialogs::IDYES);
        if (answer) dialogs::test::QueueAnswer(answer);
        QCOMPARE(f->close(), answer != dialogs::IDCANCEL);
        QCOMPARE(Boxes().size(), size_t(answer ? 2 : 1));
        std::map<AnsiString, AnsiString> expected{{"data.vrx", mine}};
        if (change == "time") expected["data.vrx.bak"] = kTwoFilms;
        if (answer) {
            const AnsiString side = OfferedSideFile(Boxes()[1].text);
            QCOMPARE(Boxes()[1].text, ChangedQuestion(path, "films", "data.vrx.bak", side));
            QCOMPARE(Boxes()[1].caption, AnsiString("Catalogue changed"));
            QCOMPARE(Boxes()[1].icon, dialogs::Icon::Warning);
            QCOMPARE(Boxes()[1].buttons, dialogs::Buttons::YesNoCancel);
            const QDateTime named = QDateTime::fromString(QString::fromStdString(side.substr(5, 15)),
                                                          "yyyyMMdd-HHmmss");
            QVERIFY(std::abs(named.secsTo(QDateTime::currentDateTime())) < 60);
            if (answer == dialogs::IDYES) expected["data.vrx.bak"] = other;
            if (answer == dialogs::IDNO) expected = {{"data.vrx", other}, {side, mine}};
            if (answer == dialogs::IDCANCEL) expected = {{"data.vrx", other}};
        }
        QCOMPARE(ProgramFolderFiles(), expected);
        QCOMPARE(f->isVisible(), answer == dialogs::IDCANCEL);
        QVERIFY(f->DataModified);
        QCOMPARE(f->Catalogue->Record(0).Title, AnsiString("Stalker"));
    }

    // A side file never takes a name already in the folder.
    void sideFileNames_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("taken");
        QTest::addColumn<QString>("side");
        QTest::newRow("free") << "data.vrx" << QStringList() << "data-20240131-235958.vrx";
        QTest::newRow("taken") << "data.vrx" << QStringList{"data-20240131-235958.vrx"} << "data-20240131-235958-2.vrx";
        QTest::newRow("taken twice") << "genres.vrx"
                                     << QStringList{"genres-20240131-235958.vrx", "genres-20240131-235958-2.vrx"}
                                     << "genres-20240131-235958-3.vrx";
        QTest::newRow("no ending") << "data" << QStringList() << "data-20240131-235958";
    }
    void sideFileNames() {
        QFETCH(QString, file);
        QFETCH(QStringList, taken);
        QFETCH(QString, side);
        const QDateTime when(QDate(2024, 1, 31), QTime(23, 59, 58));
        auto isTaken = [&](const AnsiString& name) { return taken.contains(QString::fromStdString(name)); };
        QCOMPARE(SideFileName(file.toStdString(), when, isTaken), side.toStdString());
    }

    // Every Alt+letter of the main window, pressed where the keyboard is:
    // the menu bar owns F, E and H; the toolbar N, M, D and P, whose button
    // is pressed at once and clicked as it comes up; other letters do nothing.
    void altLetters_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("acts");
        const QMap<char, QString> owners{{'F', "menu &File"},
                                         {'E', "menu &Edit"},
                                         {'H', "menu &Help"},
                                         {'N', "ToolButton4 new entry"},
                                         {'M', "ToolButton1 modify entry 1"},
                                         {'D', "ToolButton2 Confirm deletion"},
                                         {'P', "ToolButton6 Confirm printing"}};
        for (char c = 'A'; c <= 'Z'; ++c) QTest::addRow("Alt+%c", c) << Qt::Key_A + (c - 'A') << owners.value(c);
    }
    void altLetters() {
        QFETCH(int, key);
        QFETCH(QString, acts);
        TForm1* f = Show();
        Activate(f);
        // Printing asks first when nothing is selected; No ends it.
        if (!acts.contains("printing")) f->ListView1->selectRow(1);
        if (acts.contains("Confirm")) dialogs::test::QueueAnswer(dialogs::IDNO);
        TForm2* editor = f->EntryEditor();
        QStringList happened;
        WhenShown edits(editor, [&] {
            happened << (editor->ModifyMode() ? QString("modify entry %1").arg(editor->ModifiedItem()) : "new entry");
            editor->SpeedButton1->click();
        });
        WhenShown about(f->AboutBox()), genres(f->GenreEditor());
        UserKey(Qt::Key(key), Qt::AltModifier);
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            happened << "menu " + menu->title();
            menu->close();
        }
        for (QToolButton* b : f->ToolBar1->findChildren<QToolButton*>())
            if (b->isDown()) happened.prepend(b->objectName());
        for (QToolButton* b : f->ToolBar1->findChildren<QToolButton*>()) QTRY_VERIFY(!b->isDown());
        for (const auto& box : Boxes()) happened << ansi::ToQString(box.caption);
        QCOMPARE(happened.join(" "), acts);
        QVERIFY(!about.shown && !genres.shown && f->isVisible());
    }

    // Place, size, maximized state, sort and the widths the user gave the
    // columns come back at the next start; a place that no screen shows
    // any more gives the centred start.
    void windowStateComesBack_data() {
        QTest::addColumn<bool>("maximized");
        QTest::addColumn<QPoint>("storedPlace");  // null: as the window left it
        QTest::newRow("normal") << false << QPoint();
        QTest::newRow("maximized") << true << QPoint();
        QTest::newRow("off every screen") << false << QPoint(5000, 4000);
        QTest::newRow("above the screen") << false << QPoint(30, -300);
    }
    void windowStateComesBack() {
        QFETCH(bool, maximized);
        QFETCH(QPoint, storedPlace);
        const QRect place(30, 40, 500, 400);
        TForm1* f = Show();
        f->setGeometry(place);
        if (maximized) f->showMaximized();
        f->ListView1ColumnClick(FieldMID);
        f->ListView1ColumnClick(FieldMID);
        f->ListView1->horizontalHeader()->resizeSection(FieldGenre, 130);
        QVERIFY(f->close());
        if (!storedPlace.isNull()) {
            f->VReg1->Push("WindowLeft", ansi::IntToStr(storedPlace.x()));
            f->VReg1->Push("WindowTop", ansi::IntToStr(storedPlace.y()));
        }
        form.reset();

        f = Show();
        QCOMPARE(f->isMaximized(), maximized);
        QRect centred(QPoint(), QSize(606, 479));
        centred.moveCenter(f->screen()->availableGeometry().center());
        QCOMPARE(f->normalGeometry(), storedPlace.isNull() ? place : centred);
        QVERIFY(f->SortColumn == FieldMID && f->SortDescending && f->Catalogue->HeaderImage(FieldMID) == 2);
        QCOMPARE(f->Catalogue->Record(0).Title, AnsiString("Stalker"));
        QCOMPARE(f->ListView1->horizontalHeader()->sectionSize(FieldGenre), 130);
        QCOMPARE(f->ListView1->horizontalHeader()->sectionSize(FieldTitle), 200);
        QVERIFY(!f->DataModified);
        // The next click on the column goes on from the restored direction.
        f->ListView1ColumnClick(FieldMID);
        QVERIFY(!f->SortDescending);
        QCOMPARE(f->Catalogue->Record(0).Title, AnsiString("Solaris"));
    }

    void exitButtonRunsCloseQuery() {
        TForm1* f = Show();
        f->DataModified = true;
        dialogs::test::QueueAnswer(dialogs::IDCANCEL);
        f->ToolButton3->click();
        QVERIFY(f->isVisible());
        dialogs::test::QueueAnswer(dialogs::IDNO);
        f->Exit1->trigger();
        QVERIFY(!f->isVisible());
    }
};

FLICKSTOW_TEST_MAIN(TestTForm1)
#include "test_TForm1.moc"
