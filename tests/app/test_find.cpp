#include "app/formats/CatalogueFile.h"
#include "app/forms/FormKeys.h"
#include "app/mainwindow/FilmFinder.h"
#include "app/mainwindow/TForm1.h"
#include "platform/dialogs/FileDialogs.h"
#include "tests/app/Windows.h"
#include "tests/support/TestSupport.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>

using namespace testsupport;

namespace {

MovieRecord Film(const char* title, const char* mid, const char* genre) {
    return {title, mid, genre, "English", "DVD", "1", "Owned", "Yes", "", "", ""};
}

// Five films, three of them dramas.
const std::vector<MovieRecord> kFilms = {Film("Stalker", "1", "Drama"), Film("Am\xE9lie", "2", "Comedy"),
                                         Film("Solaris", "3", "Drama"), Film("Playtime", "4", "Comedy"),
                                         Film("Mirror", "5", "Drama")};

}  // namespace

class TestFind : public QObject {
    Q_OBJECT

    Windows w;
    TForm1* f = nullptr;

    // The window on the five films, the text typed into its find field.
    TForm1* Filtered(const QString& text) {
        f = w.Create(kFilms);
        Activate(f);
        UserKey(Qt::Key_F, Qt::ControlModifier);
        TypeText(FocusedNow(), text);
        return f;
    }
    QStringList Titles() const {
        QStringList out;
        for (int r = 0; r < f->Catalogue->rowCount(); ++r) out << f->Catalogue->index(r, 0).data().toString();
        return out;
    }
    void Select(const QList<int>& rows) {
        for (int r : rows)
            f->ListView1->selectionModel()->select(f->Catalogue->index(r, 0),
                                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

private slots:
    void init() {
        FreshSandbox();
        FilmFinder::InlineLimit = 50000;
    }
    void cleanup() { w.Destroy(); }

    // The list's rows are the films shown: the count, the selection, and
    // Modify on the first selected row.
    void countsAndSelection() {
        Filtered("drama");
        QCOMPARE(Titles(), (QStringList{"Stalker", "Solaris", "Mirror"}));
        QCOMPARE(f->StatusPanelText(1), QString("  3 Filmes listed"));
        Select({1, 2});
        QCOMPARE(f->StatusPanelText(2), QString("  2 Filmes selected"));
        auto open = WhileOpen(
            w.form2, [this] { QCOMPARE(w.form2->findChild<QLineEdit*>("Edit1")->text(), QString("Solaris")); });
        f->SpeedButton4Click();
    }

    // Deleting a shown film keeps every hidden one: saved and read back.
    void deleteKeepsHiddenFilms() {
        Filtered("drama");
        Select({1});
        dialogs::test::QueueAnswer(dialogs::IDYES);
        f->SpeedButton3Click();
        QCOMPARE(Titles(), (QStringList{"Stalker", "Mirror"}));
        QVERIFY(f->SaveCatalogue());
        RecordStore read;
        ReadCatalogueFile(InProgramDir("data.vrx"), read);
        QStringList titles;
        for (size_t i = 0; i < read.size(); ++i) titles << ansi::ToQString(read.Field(i, FieldTitle));
        QCOMPARE(titles, (QStringList{"Stalker", "Am\u00E9lie", "Playtime", "Mirror"}));
    }

    // Export writes the films shown, in the order shown.
    void exportWritesTheFilmsShown() {
        Filtered("drama");
        f->ListView1ColumnClick(FieldTitle);
        const AnsiString path = InProgramDir("shown.csv");
        dialogs::test::QueueFileDialogAnswer({path, 1});
        f->Exort1Click();
        QCOMPARE(ReadFile(path), AnsiString("Mirror,5,Drama,English,DVD,1,Owned,Yes,\r\n"
                                            "Solaris,3,Drama,English,DVD,1,Owned,Yes,\r\n"
                                            "Stalker,1,Drama,English,DVD,1,Owned,Yes,\r\n"));
    }

    // Sorting orders every film and keeps the filter; clearing the field
    // shows every film in the new order.
    void sortingKeepsTheFilter() {
        Filtered("la");
        f->ListView1ColumnClick(FieldTitle);
        QCOMPARE(Titles(), (QStringList{"Playtime", "Solaris"}));
        f->ListView1ColumnClick(FieldTitle);
        QCOMPARE(Titles(), (QStringList{"Solaris", "Playtime"}));
        f->FindEdit1->clear();
        QCOMPARE(Titles(), (QStringList{"Stalker", "Solaris", "Playtime", "Mirror", "Am\u00E9lie"}));
    }

    // A film added, or changed so the words no longer find it, stays shown
    // until the text changes; saving writes every film.
    void addedOrChangedFilmStaysShown() {
        Filtered("drama");
        f->Catalogue->AppendRecord(Film("Playtime 2", "6", "Comedy"));
        MovieRecord changed = f->Catalogue->Record(0);
        changed.Genre = "Comedy";
        f->Catalogue->SetRecord(0, changed);
        QCOMPARE(Titles(), (QStringList{"Stalker", "Solaris", "Mirror", "Playtime 2"}));
        QCOMPARE(f->Catalogue->Records().size(), size_t(6));
        TypeText(f->FindEdit1, " ");
        QCOMPARE(Titles(), (QStringList{"Stalker", "Solaris", "Mirror", "Playtime 2"}));
        TypeText(f->FindEdit1, "s");
        QCOMPARE(Titles(), (QStringList{"Solaris", "Mirror"}));
    }

    // Keys as the user presses them: Ctrl+F from the list into the field
    // (its text selected), typing filters, Escape clears it and gives the
    // list the keyboard without closing the window, Escape in the list then
    // runs the close query; Enter and Down go to the first film shown.
    void keys_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<QStringList>("titles");  // after the key
        QTest::addColumn<int>("selected");        // the row selected, -1 none
        QTest::newRow("Escape") << int(Qt::Key_Escape)
                                << QStringList{"Stalker", "Am\u00E9lie", "Solaris", "Playtime", "Mirror"} << -1;
        QTest::newRow("Enter") << int(Qt::Key_Return) << QStringList{"Solaris", "Playtime"} << 0;
        QTest::newRow("Down") << int(Qt::Key_Down) << QStringList{"Solaris", "Playtime"} << 0;
    }
    void keys() {
        QFETCH(int, key);
        QFETCH(QStringList, titles);
        QFETCH(int, selected);
        Filtered("dr");
        QCOMPARE(FocusedNow(), static_cast<QWidget*>(f->FindEdit1));
        TypeText(FocusedNow(), "am");  // "dram"
        QCOMPARE(Titles(), (QStringList{"Stalker", "Solaris", "Mirror"}));
        f->ListView1->setFocus();
        UserKey(Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(FocusedNow(), static_cast<QWidget*>(f->FindEdit1));
        QCOMPARE(f->FindEdit1->selectedText(), QString("dram"));
        TypeText(FocusedNow(), "la");  // replaces the selected text
        QCOMPARE(Titles(), (QStringList{"Solaris", "Playtime"}));
        UserKey(Qt::Key(key));
        QCOMPARE(FocusedNow(), static_cast<QWidget*>(f->ListView1));
        QCOMPARE(Titles(), titles);
        QVERIFY(f->isVisible());
        QVERIFY(Boxes().empty());
        const QModelIndexList rows = f->ListView1->selectionModel()->selectedRows();
        QCOMPARE(rows.size(), selected < 0 ? 0 : 1);
        if (selected >= 0) QCOMPARE(rows.front().row(), selected);
        // From the list, Escape closes as ever (after the close query).
        f->DataModified = true;
        dialogs::test::QueueAnswer(dialogs::IDNO);
        UserKey(Qt::Key_Escape);
        QCOMPARE(Boxes().size(), size_t(1));
        QCOMPARE(Boxes()[0].caption, AnsiString("Save changes"));
        QVERIFY(!f->isVisible());
    }

    // The film selected while finding stays selected and in view as the text
    // changes, and when Escape shows every film again; a text that hides it
    // starts the list at its top.
    void foundFilmStaysInView() {
        std::vector<MovieRecord> films;
        for (int i = 0; i < 400; ++i)
            films.push_back(Film(((i == 10 || i == 300 ? "Solaris " : "Film ") + ansi::IntToStr(i)).c_str(), "", ""));
        QTableView* list = (f = w.Create(films))->ListView1;
        Activate(f);
        auto shows = [list](int rows) {
            QCOMPARE(list->model()->rowCount(), rows);
            QCOMPARE(list->currentIndex().data().toString(), "Solaris 300");
            QCOMPARE(list->selectionModel()->selectedRows(), QModelIndexList{list->currentIndex()});
            QVERIFY(list->viewport()->rect().contains(list->visualRect(list->currentIndex())));
        };
        for (const char* typed : {"sol", "aris"}) {
            UserKey(Qt::Key_F, Qt::ControlModifier);
            UserKey(Qt::Key_End);
            TypeText(FocusedNow(), typed);
            if (typed[0] == 's') UserKey(Qt::Key_Return), UserKey(Qt::Key_Down);
            shows(2);
        }
        UserKey(Qt::Key_Escape);
        shows(400);
        UserKey(Qt::Key_F, Qt::ControlModifier);
        TypeText(FocusedNow(), "film");
        QVERIFY(list->selectionModel()->selectedRows().isEmpty() && list->verticalScrollBar()->value() == 0);
    }

    // A search of its own thread: the newest text wins, and changing the
    // films while one runs searches again afterwards.
    void newestTextWins() {
        FilmFinder::InlineLimit = 0;
        Filtered("x");
        f->FindEdit1->setText("drama");
        f->FindEdit1->setText("comedy");
        f->Catalogue->AppendRecord(Film("Jour de f\xEAte", "6", "Comedy"));
        QTRY_VERIFY(!f->Finder().Searching());
        QCOMPARE(Titles(), (QStringList{"Am\u00E9lie", "Playtime", "Jour de f\u00EAte"}));
        f->FindEdit1->setText("comedy f");
        QTRY_VERIFY(!f->Finder().Searching());
        QCOMPARE(Titles(), (QStringList{"Jour de f\u00EAte"}));
    }
};

FLICKSTOW_TEST_MAIN(TestFind)
#include "test_find.moc"
