#include "app/catalogue/Sorting.h"
#include "app/formats/CatalogueFile.h"
#include "app/forms/FormKeys.h"
#include "app/mainwindow/TForm1.h"
#include "platform/files/files.h"
#include "tests/app/Windows.h"
#include "tests/support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QTableView>
#include <QToolButton>
#include <algorithm>
#include <map>
#include <memory>
#include <numeric>
#include <random>

using namespace testsupport;

namespace {

MovieRecord Film(const char* title, const char* mid = "1", const char* genre = "Drama", const char* disks = "1",
                 const char* rating = "") {
    return {title, mid, genre, "English", "DVD", disks, "Owned", "Yes", rating, "", ""};
}

// The text of row i of many rows, drawn from rng and value: for a column of
// numbers, "n/a" and empty texts now and then, ties with earlier rows and
// numbers with or without a leading space; for a column of texts, ties and
// texts that share long beginnings, with zero bytes and bytes above 127.
std::string ManyRowsText(bool numeric, uint32_t i, const std::vector<std::string>& texts, std::mt19937& rng,
                         std::uniform_int_distribution<long long>& value) {
    static const std::string letters("aAbB\0\xE9\xC9zZ_ ", 11);
    if (numeric && i % 50 == 7) return i % 100 == 7 ? "n/a" : "";
    const bool tie = i > 0 && (numeric ? i % 4 == 0 : i % 5 == 0);
    if (tie) return texts[rng() % i];
    if (numeric) return (i % 3 == 0 ? " " : "") + std::to_string(value(rng));
    std::string text = i % 3 == 0 ? "Star Wars" : i % 3 == 1 ? "sTAR" : "";
    for (size_t k = rng() % 6; k > 0; --k) text += letters[rng() % letters.size()];
    return text;
}

// The rows' order by a plain stable sort of the texts: as numbers (texts
// that are no numbers last, in their present order), or by their bytes with
// a to z folded to capitals.
std::vector<uint32_t> PlainStableOrder(const std::vector<std::string>& texts, bool numeric, bool descending) {
    auto folded = [](const std::string& t) {
        std::vector<unsigned char> f;
        for (char c : t) f.push_back(static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 32 : c));
        return f;
    };
    std::vector<uint32_t> order(texts.size()), others;
    std::iota(order.begin(), order.end(), 0u);
    if (numeric) {
        auto isNumber = [&](uint32_t i) { return ansi::TryStrToInt(texts[i]).has_value(); };
        auto split = std::stable_partition(order.begin(), order.end(), isNumber);
        others.assign(split, order.end());
        order.erase(split, order.end());
        std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
            int x = *ansi::TryStrToInt(texts[a]), y = *ansi::TryStrToInt(texts[b]);
            return descending ? x > y : x < y;
        });
    } else {
        std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
            return descending ? folded(texts[b]) < folded(texts[a]) : folded(texts[a]) < folded(texts[b]);
        });
    }
    order.insert(order.end(), others.begin(), others.end());
    return order;
}

}  // namespace

class TestFilmList : public QObject {
    Q_OBJECT

    Windows w;
    TForm1* form = nullptr;

    TForm1* Show(const std::vector<MovieRecord>& films) { return form = w.Create(films); }
    QStringList Column(int column) const {
        QStringList out;
        for (int r = 0; r < form->Catalogue->rowCount(); ++r)
            out << form->Catalogue->index(r, column).data().toString();
        return out;
    }
    QList<int> Marks() const {
        QList<int> out;
        for (int c = 0; c < FieldCount; ++c) out << form->Catalogue->HeaderImage(c);
        return out;
    }
    static QList<int> MarkOn(int column, int image) {
        QList<int> out(FieldCount, -1);
        out[column] = image;
        return out;
    }
    void Select(std::initializer_list<int> rows) {
        QItemSelectionModel* sel = form->ListView1->selectionModel();
        sel->clearSelection();
        for (int r : rows)
            sel->select(form->Catalogue->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

private slots:
    void init() { FreshSandbox(); }
    void cleanup() { w.Destroy(); }

    void titleClickedThreeTimes() {
        TForm1* f = Show({Film("beta"), Film("Alpha"), Film("gamma")});
        QCOMPARE(Marks(), QList<int>(FieldCount, -1));
        f->ListView1ColumnClick(FieldTitle);
        QCOMPARE(Column(FieldTitle), (QStringList{"Alpha", "beta", "gamma"}));
        QCOMPARE(Marks(), MarkOn(FieldTitle, 1));
        f->ListView1ColumnClick(FieldTitle);
        QCOMPARE(Column(FieldTitle), (QStringList{"gamma", "beta", "Alpha"}));
        QCOMPARE(Marks(), MarkOn(FieldTitle, 2));
        QVERIFY(f->SortDescending);
        f->ListView1ColumnClick(FieldTitle);
        QCOMPARE(Column(FieldTitle), (QStringList{"Alpha", "beta", "gamma"}));
        QCOMPARE(Marks(), MarkOn(FieldTitle, 1));
        // The header shows the mark the model holds.
        QVERIFY(!f->Catalogue->headerData(FieldTitle, Qt::Horizontal, Qt::DecorationRole).value<QIcon>().isNull());
        QVERIFY(f->Catalogue->headerData(FieldGenre, Qt::Horizontal, Qt::DecorationRole).value<QIcon>().isNull());
    }

    void anotherColumnStartsAscending() {
        TForm1* f = Show({Film("A", "1", "Drama"), Film("B", "2", "Action"), Film("C", "3", "Horror")});
        f->ListView1ColumnClick(FieldTitle);
        f->ListView1ColumnClick(FieldTitle);
        f->ListView1ColumnClick(FieldGenre);
        QCOMPARE(Column(FieldGenre), (QStringList{"Action", "Drama", "Horror"}));
        QCOMPARE(Marks(), MarkOn(FieldGenre, 1));
        QCOMPARE(f->SortColumn, int(FieldGenre));
        QVERIFY(!f->SortDescending);
    }

    void headerClickSorts() {
        TForm1* f = Show({Film("b"), Film("a")});
        QTest::mouseClick(f->ListView1->horizontalHeader()->viewport(), Qt::LeftButton, {},
                          QPoint(f->ListView1->horizontalHeader()->sectionViewportPosition(0) + 20, 5));
        QCOMPARE(Column(FieldTitle), (QStringList{"a", "b"}));
    }

    void numericAndTextColumns_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QStringList>("ascending");
        QTest::newRow("# as numbers") << int(FieldMID) << QStringList{"10", "9", "100"}
                                      << QStringList{"9", "10", "100"};
        QTest::newRow("Disks as numbers")
            << int(FieldDisks) << QStringList{"10", "2", "-1"} << QStringList{"-1", "2", "10"};
        QTest::newRow("Rating as text") << int(FieldRating) << QStringList{"9", "10", "100"}
                                        << QStringList{"10", "100", "9"};
        QTest::newRow("prefix first") << int(FieldTitle) << QStringList{"Star Wars", "Star", "star trek"}
                                      << QStringList{"Star", "star trek", "Star Wars"};
        // Only a-z fold: bytes after 'Z' such as '_' sort after all letters.
        QTest::newRow("underscore after letters")
            << int(FieldTitle) << QStringList{"a_", "aZ", "ab"} << QStringList{"ab", "aZ", "a_"};
        QTest::newRow("numbers before others")
            << int(FieldMID) << QStringList{"x", "5", "abc", "3"} << QStringList{"3", "5", "x", "abc"};
    }
    void numericAndTextColumns() {
        QFETCH(int, column);
        QFETCH(QStringList, values);
        QFETCH(QStringList, ascending);
        std::vector<MovieRecord> films;
        for (const QString& v : values) {
            MovieRecord r = Film("t");
            r.Field(column) = v.toStdString();
            films.push_back(r);
        }
        TForm1* f = Show(films);
        f->ListView1ColumnClick(column);
        QCOMPARE(Column(column), ascending);
    }

    // Texts that are not whole numbers stay after the numbers, in their
    // present order, in both directions.
    void nonNumbersLastBothWays() {
        TForm1* f = Show({Film("a", "x"), Film("b", "2"), Film("c", "n/a"), Film("d", "7"), Film("e", "1a")});
        f->ListView1ColumnClick(FieldMID);
        QCOMPARE(Column(FieldTitle), (QStringList{"b", "d", "a", "c", "e"}));
        f->ListView1ColumnClick(FieldMID);
        QCOMPARE(Column(FieldTitle), (QStringList{"d", "b", "a", "c", "e"}));
    }

    // The order a header click really gives. Only a-z fold onto A-Z, so
    // "z" and "Z" tie and keep their order; accented letters go by their
    // code (0xC9 before 0xE9, both after every ASCII letter); a text that
    // begins a longer one comes first; descending reverses all of it except
    // the order of ties.
    void textOrder_data() {
        QTest::addColumn<QStringList>("titles");  // Latin-1, as the code page holds them
        QTest::addColumn<QStringList>("ascending");
        QTest::addColumn<QStringList>("descending");
        QTest::newRow("z and Z tie") << QStringList{"z", "Z", "a", "Zz", "zZ"} << QStringList{"a", "z", "Z", "Zz", "zZ"}
                                     << QStringList{"Zz", "zZ", "z", "Z", "a"};
        QTest::newRow("accented by code") << QStringList{"\u00e9t\u00e9", "\u00c9T\u00c9", "zebra", "Ete"}
                                          << QStringList{"Ete", "zebra", "\u00c9T\u00c9", "\u00e9t\u00e9"}
                                          << QStringList{"\u00e9t\u00e9", "\u00c9T\u00c9", "zebra", "Ete"};
        QTest::newRow("prefix first") << QStringList{"Alien 3", "Alien", "alien", "Aliens"}
                                      << QStringList{"Alien", "alien", "Alien 3", "Aliens"}
                                      << QStringList{"Aliens", "Alien 3", "Alien", "alien"};
    }
    void textOrder() {
        QFETCH(QStringList, titles);
        QFETCH(QStringList, ascending);
        QFETCH(QStringList, descending);
        std::vector<MovieRecord> films;
        for (const QString& t : titles) films.push_back(Film(ansi::FromQString(t).c_str()));
        TForm1* f = Show(films);
        f->ListView1ColumnClick(FieldTitle);
        QCOMPARE(Column(FieldTitle), ascending);
        f->ListView1ColumnClick(FieldTitle);
        QCOMPARE(Column(FieldTitle), descending);
    }

    // Rows with equal keys keep their order in both directions, also when
    // there are more of them than a sort handles without merging (16).
    void manyEqualKeysKeepTheirOrder_data() {
        QTest::addColumn<int>("column");
        QTest::newRow("text") << int(FieldGenre);
        QTest::newRow("number") << int(FieldDisks);
    }
    void manyEqualKeysKeepTheirOrder() {
        QFETCH(int, column);
        std::vector<MovieRecord> films;
        QStringList tied, others;
        for (int i = 0; i < 60; ++i) {
            MovieRecord r = Film(QByteArray("t").append(QByteArray::number(i)).constData());
            bool tie = i % 3 != 0;
            r.Field(column) = column == FieldGenre ? (tie ? (i % 2 ? "drama" : "DRAMA") : "Action") : (tie ? "2" : "1");
            (tie ? tied : others) << QString::fromStdString(r.Title);
            films.push_back(r);
        }
        TForm1* f = Show(films);
        f->ListView1ColumnClick(column);
        QCOMPARE(Column(FieldTitle), others + tied);
        f->ListView1ColumnClick(column);
        QCOMPARE(Column(FieldTitle), tied + others);
    }

    // Many rows against a plain stable sort of the same keys, in both
    // directions: numbers anywhere in the whole range, negative ones, ties
    // and texts that are no numbers (last, in their present order); titles
    // that share long beginnings or differ only after eight bytes, empty
    // ones, zero bytes and bytes above 127; rows changed after they were
    // added.
    void orderOfManyRows_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<long long>("lowest");
        QTest::addColumn<long long>("highest");
        QTest::newRow("MIDs") << int(FieldMID) << 1LL << 9999LL;
        QTest::newRow("both signs") << int(FieldMID) << -70000LL << 70000LL;
        QTest::newRow("whole range") << int(FieldMID) << -2147483648LL << 2147483647LL;
        QTest::newRow("titles") << int(FieldTitle) << 0LL << 0LL;
        QTest::newRow("genres") << int(FieldGenre) << 0LL << 0LL;
    }
    void orderOfManyRows() {
        QFETCH(int, column);
        QFETCH(long long, lowest);
        QFETCH(long long, highest);
        const bool numeric = IsNumericColumn(column);
        std::mt19937 rng(7);
        std::uniform_int_distribution<long long> value(lowest, highest);
        RecordStore rows;
        std::vector<std::string> texts;
        for (uint32_t i = 0; i < 3000; ++i) {
            const std::string text = ManyRowsText(numeric, i, texts, rng, value);
            MovieRecord r = Film("t");
            r.Field(column) = text;
            rows.Append(r);
            texts.push_back(text);
        }
        // Rows changed since: by their new texts.
        for (uint32_t i = 3; i < texts.size(); i += 7) {
            MovieRecord r = rows.Get(i);
            r.Field(column) = texts[i] = (numeric ? "" : "Changed ") + std::to_string(i % 13);
            rows.Set(i, r);
        }
        for (bool descending : {false, true})
            QCOMPARE(SortOrder(rows, column, descending), PlainStableOrder(texts, numeric, descending));
    }

    // The MIDs' values kept with the rows sort as their texts do: signs,
    // spaces and leading zeros, both ends of the whole numbers and just
    // beyond, texts that are no whole numbers; for a film read in pieces
    // and large enough to be kept on its own, and for MIDs changed since.
    void midOrderFromKeptValues_data() {
        QTest::addColumn<QStringList>("mids");
        QTest::addColumn<QStringList>("changedTo");  // "=": unchanged
        QTest::newRow("signs and spaces") << QStringList{"7", " 7", "+7", "-7", "007", " -0", "0", "12"}
                                          << QStringList{"", "-7", "x", "3", "=", "=", "=", " "};
        QTest::newRow("range ends") << QStringList{"-2147483648", "2147483647",  "-2147483647", "2147483648",
                                                   "1",           "-2147483649", "-2147483648"}
                                    << QStringList{"=", "=", "-2147483648", "=", "2147483647", "=", "5"};
        QTest::newRow("no numbers") << QStringList{"abc", "1a", "+", "3", "-", "7 ", "x7"}
                                    << QStringList{"4", "=", "=", "n/a", "=", "", "="};
    }
    void midOrderFromKeptValues() {
        QFETCH(QStringList, mids);
        QFETCH(QStringList, changedTo);
        // Each film as the file holds it, the middle one with a description
        // of 2 MB, read in two blocks that cut it.
        AnsiString text;
        for (qsizetype i = 0; i < mids.size(); ++i) {
            MovieRecord r = Film("t", mids[i].toLatin1().constData());
            if (i == mids.size() / 2) r.Description.assign(size_t(2) << 20, 'd');
            RecordStore one;
            one.Append(r);
            text += SerializeCatalogue(one);
        }
        RecordStore rows;
        CatalogueReader reader(rows);
        reader.Feed(std::string_view(text).substr(0, text.size() / 2));
        reader.Feed(std::string_view(text).substr(text.size() / 2));
        reader.Finish();
        QCOMPARE(rows.size(), size_t(mids.size()));
        std::vector<std::string> texts;
        for (const QString& m : mids) texts.push_back(m.toStdString());
        for (bool descending : {false, true})
            QCOMPARE(SortOrder(rows, FieldMID, descending), PlainStableOrder(texts, true, descending));
        for (qsizetype i = 0; i < changedTo.size(); ++i) {
            if (changedTo[i] == "=") continue;
            MovieRecord r = rows.Get(static_cast<size_t>(i));
            r.MID = texts[static_cast<size_t>(i)] = changedTo[i].toStdString();
            rows.Set(static_cast<size_t>(i), r);
        }
        for (bool descending : {false, true})
            QCOMPARE(SortOrder(rows, FieldMID, descending), PlainStableOrder(texts, true, descending));
    }

    void sortingMovesSelectionAndIsSaved() {
        TForm1* f = Show({Film("c", "3"), Film("a", "1"), Film("b", "2")});
        Select({0});
        f->ListView1ColumnClick(FieldTitle);
        QVERIFY(!f->DataModified);
        QCOMPARE(f->StatusPanelText(0), QString());
        QVERIFY(f->ListView1->selectionModel()->isRowSelected(2, {}));
        QCOMPARE(f->StatusPanelText(2), QString("  1 Filmes selected"));
        f->DataModified = true;  // something else changed; the save writes the sorted order
        dialogs::test::QueueAnswer(dialogs::IDYES);
        QVERIFY(f->close());
        RecordStore saved;
        ParseCatalogue(ReadFile(InProgramDir("data.vrx")), saved);
        QCOMPARE(saved.Field(0, FieldTitle), std::string_view("a"));
        QCOMPARE(saved.Field(2, FieldTitle), std::string_view("c"));
    }

    void selectionCountsInStatusBar() {
        TForm1* f = Show({Film("a"), Film("b"), Film("c"), Film("d")});
        Select({0, 2, 3});
        QCOMPARE(f->StatusPanelText(2), QString("  3 Filmes selected"));
        f->ListView1->selectionModel()->select(f->Catalogue->index(2, 0),
                                               QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
        QCOMPARE(f->StatusPanelText(2), QString("  2 Filmes selected"));
        f->ListView1->selectAll();
        QCOMPARE(f->StatusPanelText(2), QString("  4 Filmes selected"));
        f->Catalogue->AppendRecord(Film("e"));
        QCOMPARE(f->StatusPanelText(1), QString("  5 Filmes listed"));
    }

    void deleteSelectedAfterOneYes() {
        TForm1* f = Show({Film("a"), Film("b"), Film("c"), Film("d"), Film("e")});
        WriteFile(InProgramDir("t_b1.jpg"), "jpeg");
        MovieRecord b = f->Catalogue->Record(1);
        b.Picture = "t_b1.jpg";
        f->Catalogue->SetRecord(1, b);
        Select({1, 3, 4});
        dialogs::test::QueueAnswer(dialogs::IDYES);
        f->ToolButton2->click();
        QCOMPARE(Boxes().size(), size_t(1));
        QCOMPARE(Boxes()[0].text, AnsiString("Do you really want to delete all selected titles?"));
        QCOMPARE(Boxes()[0].caption, AnsiString("Confirm deletion"));
        QCOMPARE(Boxes()[0].icon, dialogs::Icon::Warning);
        QCOMPARE(Boxes()[0].buttons, dialogs::Buttons::YesNo);
        QCOMPARE(Column(FieldTitle), (QStringList{"a", "c"}));
        QVERIFY(f->DataModified);
        QCOMPARE(f->StatusPanelText(0), QString("  Modified"));
        QCOMPARE(f->StatusPanelText(1), QString("  2 Filmes listed"));
        QCOMPARE(f->StatusPanelText(2), QString("  0 Filmes selected"));
        // The row after the first deleted one is the current row, unselected.
        QCOMPARE(f->ListView1->currentIndex().row(), 1);
        QCOMPARE(f->Catalogue->Record(1).Title, AnsiString("c"));
        QVERIFY(!f->ListView1->selectionModel()->hasSelection());
        // With the last rows deleted, the new last row is current.
        Select({1});
        dialogs::test::QueueAnswer(dialogs::IDYES);
        f->ToolButton2->click();
        QCOMPARE(f->ListView1->currentIndex().row(), 0);
        // The cover file stays.
        QVERIFY(files::FileExists(InProgramDir("t_b1.jpg")));
    }

    void deleteAnsweredNoOrNothingSelected() {
        TForm1* f = Show({Film("a"), Film("b"), Film("c")});
        f->DeleteEntry1->trigger();  // nothing selected: no question
        QVERIFY(Boxes().empty());
        QVERIFY(!f->Keys().SkipNextKeyUp);
        Select({0, 1, 2});
        dialogs::test::QueueAnswer(dialogs::IDNO);
        f->DeleteEntry1->trigger();
        QCOMPARE(Boxes().size(), size_t(1));
        QCOMPARE(f->Catalogue->rowCount(), 3);
        QVERIFY(!f->DataModified);
        QCOMPARE(f->StatusPanelText(0), QString());
    }

    // The list's keys act on rows, as in a report list, also after the view
    // was scrolled to its last column: Home and End select the first and
    // the last film, the page keys the first or last whole row in view and
    // then a page further, Shift extends from the anchor, Ctrl with the
    // arrows only moves the focus and Ctrl+Space toggles the focused row.
    // Left and Right scroll sideways; typing finds a title. 100 films, ten
    // rows in view: a page moves nine rows. "a..b" is a run of rows.
    void keysActOnRows_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("current");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<int>("across");  // column steps scrolled to the left
        QTest::newRow("Home") << "End Home" << 0 << "0" << 0;
        QTest::newRow("Home on a fresh list") << "Home" << 0 << "0" << 0;
        QTest::newRow("Ctrl+Home") << "End C+Home" << 0 << "0" << 0;
        QTest::newRow("End") << "Home End" << 99 << "99" << 0;
        QTest::newRow("Ctrl+End") << "Home C+End" << 99 << "99" << 0;
        QTest::newRow("Page Down") << "Home PgDn" << 9 << "9" << 0;
        QTest::newRow("Page Down twice") << "Home PgDn PgDn" << 18 << "18" << 0;
        QTest::newRow("Page Up twice") << "End PgUp PgUp" << 81 << "81" << 0;
        QTest::newRow("arrows") << "Home Down Down Up" << 1 << "1" << 0;
        QTest::newRow("Shift+End") << "Home Down Down S+End" << 99 << "2..99" << 0;
        QTest::newRow("Shift+End, then Shift+Home") << "Home Down Down S+End S+Home" << 0 << "0..2" << 0;
        QTest::newRow("Shift+Page Down") << "Home S+PgDn" << 9 << "0..9" << 0;
        QTest::newRow("Shift+Up") << "End Up S+Up S+Up" << 96 << "96..98" << 0;
        QTest::newRow("Ctrl+Space") << "Home Down C+Down C+Down C+Space" << 3 << "1,3" << 0;
        QTest::newRow("Ctrl+Space off") << "Home C+Space" << 0 << "" << 0;
        QTest::newRow("Left") << "Home Left Left" << 0 << "0" << 2;
        QTest::newRow("Right") << "Home Left Left Right" << 0 << "0" << 1;
        QTest::newRow("typing a title") << "Home z a" << 57 << "57" << 0;
    }
    void keysActOnRows() {
        QFETCH(QString, keys);
        QFETCH(int, current);
        QFETCH(QString, selected);
        QFETCH(int, across);
        std::vector<MovieRecord> films;
        for (int r = 0; r < 100; ++r) films.push_back(Film(r == 57 ? "Zardoz" : qPrintable(QString("Film %1").arg(r))));
        TForm1* f = Show(films);
        Activate(f);
        QTableView* list = f->ListView1;
        f->resize(f->width(), f->height() + 10 * list->rowHeight(0) - list->viewport()->height());
        QTRY_COMPARE(list->viewport()->height(), 10 * list->rowHeight(0));
        QScrollBar* sideways = list->horizontalScrollBar();
        QVERIFY(sideways->maximum() > 0);  // the columns are wider than the window
        sideways->setValue(sideways->maximum());
        const int scrolled = sideways->value();
        const std::map<QString, Qt::Key> named{
            {"Home", Qt::Key_Home}, {"End", Qt::Key_End},     {"Up", Qt::Key_Up},
            {"Down", Qt::Key_Down}, {"PgUp", Qt::Key_PageUp}, {"PgDn", Qt::Key_PageDown},
            {"Left", Qt::Key_Left}, {"Right", Qt::Key_Right}, {"Space", Qt::Key_Space}};
        for (QString key : keys.split(' ')) {
            Qt::KeyboardModifiers modifiers;
            if (key.startsWith("S+")) modifiers = Qt::ShiftModifier;
            if (key.startsWith("C+")) modifiers = Qt::ControlModifier;
            key = key.mid(modifiers ? 2 : 0);
            UserKey(key.size() == 1 ? Qt::Key(Qt::Key_A + key[0].unicode() - 'a') : named.at(key), modifiers);
        }
        QList<int> want, got;
        for (const QString& run : selected.split(',', Qt::SkipEmptyParts))
            for (int r = run.section("..", 0, 0).toInt(); r <= run.section("..", -1).toInt(); ++r) want << r;
        for (const QModelIndex& index : list->selectionModel()->selectedRows()) got << index.row();
        std::sort(got.begin(), got.end());
        QCOMPARE(list->currentIndex().row(), current);
        QCOMPARE(got, want);
        QCOMPARE(f->StatusPanelText(2), QString("  %1 Filmes selected").arg(want.size()));
        QCOMPARE(sideways->value(), scrolled - across * sideways->singleStep());
    }

    // The Delete key in the list asks; the release of the key that answered
    // the box (the box took its press) does not act on the list again, and
    // the next Delete asks again.
    void deleteKeyAndAnsweringRelease() {
        TForm1* f = Show({Film("a"), Film("b"), Film("c"), Film("d")});
        Activate(f);
        QCOMPARE(FocusedNow(), static_cast<QWidget*>(f->ListView1));
        Select({0});
        dialogs::test::QueueAnswer(dialogs::IDYES);
        UserKey(Qt::Key_Delete);
        QCOMPARE(Column(FieldTitle), (QStringList{"b", "c", "d"}));
        QVERIFY(f->Keys().SkipNextKeyUp);
        Select({0});
        ReleaseOnly(Qt::Key_Return);
        ReleaseOnly(Qt::Key_Delete);
        QCOMPARE(Boxes().size(), size_t(1));
        QCOMPARE(f->Catalogue->rowCount(), 3);
        dialogs::test::QueueAnswer(dialogs::IDYES);
        UserKey(Qt::Key_Delete);
        QCOMPARE(Column(FieldTitle), (QStringList{"c", "d"}));
    }
};

FLICKSTOW_TEST_MAIN(TestFilmList)
#include "test_filmlist.moc"
