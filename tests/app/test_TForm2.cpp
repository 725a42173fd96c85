#include "app/entryeditor/Thumbnails.h"
#include "app/formats/CatalogueFile.h"
#include "app/forms/TImage.h"
#include "components/Enhancedform/Enhancedform.h"
#include "components/Vreg/Vreg.h"
#include "platform/edits/edits.h"
#include "platform/files/files.h"
#include "platform/registry/registry.h"
#include "tests/app/Windows.h"
#include "tests/support/JpegSamples.h"
#include "tests/support/SampleFilms.h"
#include "tests/support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <map>
#include <unistd.h>

using namespace testsupport;

namespace {

QStringList Items(const QComboBox* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
    return items;
}

const AnsiString kRefusal = "You forgot to enter some information, please correct this issue!";

}  // namespace

class TestTForm2 : public QObject {
    Q_OBJECT

    Windows w;
    TForm2* f2 = nullptr;

    TForm1* Start(const std::vector<MovieRecord>& films = {kSolaris, kStalker}) {
        TForm1* f = w.Create(films);
        f2 = w.form2;
        return f;
    }
    MovieRecord Row(int i) { return w.Row(i); }
    int Rows() { return w.form1->Catalogue->rowCount(); }
    AnsiString Reg(const char* name) { return w.form1->VReg1->Pop(name); }
    void SetReg(const char* name, const char* value) { w.form1->VReg1->Push(name, value); }

    // "&New Entry" and "&Modify" of the main window, with the steps run in the
    // open editor.
    void New(std::function<void()> steps) { w.NewEntry(std::move(steps)); }
    void Modify(int row, std::function<void()> steps) { w.ModifyEntry(row, std::move(steps)); }
    // The editor puts the focus into the title field shortly after it opens.
    void WaitForTitleFocus() { QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(f2->Edit1)); }
    void Enter() { UserKey(Qt::Key_Return); }

private slots:
    void init() { FreshSandbox(); }
    void cleanup() {
        w.Destroy();
        f2 = nullptr;
    }

    void looks() {
        Start();
        New([this] {
            QCOMPARE(f2->windowTitle(), QString("New / Modify Entry"));
            // The client area; the painted frame and caption lie around it.
            QCOMPARE(f2->EnhancedForm1->ClientRect().size(), QSize(511, 308));
            QCOMPARE(f2->minimumSize(), f2->maximumSize());
            QVERIFY(f2->windowFlags() & Qt::WindowStaysOnTopHint);
            QCOMPARE(f2->PageControl1->tabText(0), QString("Movie &Properties"));
            QCOMPARE(f2->PageControl1->tabText(1), QString("&More Details"));
            QStringList buttons;
            for (QToolButton* b : {f2->SpeedButton1, f2->SpeedButton5, f2->SpeedButton2, f2->SpeedButton3})
                buttons << b->text();
            QCOMPARE(buttons, (QStringList{"&Cancel", "&Reset Entries", "Save && &New Entry", "&Save and Close"}));
            QCOMPARE(Items(f2->ComboBox3),
                     (QStringList{"VCD", "SVCD", "DVD", "VHS", "DIVX (CDROM)", "SVHS", "Video8", "BETA", "Other"}));
            QCOMPARE(Items(f2->ComboBox2), (QStringList{"German", "English", "French", "Espaniol", "Other"}));
            QCOMPARE(Items(f2->ComboBox4), (QStringList{"Owned", "Lend To", "To Be Bought", "Borrowed From"}));
            QCOMPARE(Items(f2->ComboBox5), (QStringList{"Yes", "No"}));
            QVERIFY(f2->ComboBox4->isEditable());
            QVERIFY(!f2->ComboBox3->isEditable() && !f2->ComboBox2->isEditable() && !f2->ComboBox5->isEditable());
            QCOMPARE(f2->CSpinEdit1->minimum(), 1);
            QCOMPARE(f2->CSpinEdit1->maximum(), 100);
            QCOMPARE(f2->CSpinEdit2->minimum(), 1);
            QCOMPARE(f2->CSpinEdit2->maximum(), 10000);
            // Typing stops at the limits.
            TypeText(f2->Edit1, QString(60, 'T'));
            QCOMPARE(f2->Edit1->text().size(), 50);
            TypeText(f2->ComboBox4->lineEdit(), QString(40, 'S'));
            QCOMPARE(f2->ComboBox4->currentText().size(), 30);
            QCOMPARE(f2->Memo2->MaxLength(), 255);
            QVERIFY(f2->Edit4->isReadOnly());
            QVERIFY(f2->SpeedButton6->isEnabled() && f2->Button1->isEnabled() && f2->SpeedButton4->isEnabled());
            QCOMPARE(f2->Image1->geometry(), QRect(0, 273, 511, 35));
            QCOMPARE(f2->Image1->Picture().size(), QSize(511, 35));
            QCOMPARE(f2->Image1->Picture().pixel(56, 0), w.form1->Image1->Picture().pixel(0, 0));
            QCOMPARE(f2->Panel2->size(), QSize(161, 157));
            // Every button shows its whole caption in the dialog's font.
            for (QToolButton* b : f2->findChildren<QToolButton*>()) {
                if (b->text().isEmpty()) continue;  // the page control's own arrows
                QCOMPARE(b->font().family(), f2->font().family());
                QVERIFY2(b->sizeHint().width() <= b->width(), qPrintable(b->objectName()));
            }
        });
    }

    void tabOrder() {
        Start();
        New([this] {
            QApplication::setActiveWindow(f2);
            QTRY_VERIFY(f2->Edit1->hasFocus());
            QWidget* order[] = {f2->Edit1,     f2->CSpinEdit2, f2->ListBox1,  f2->ComboBox3, f2->CSpinEdit1,
                                f2->ComboBox2, f2->ComboBox4,  f2->ComboBox5, f2->Edit2};
            for (size_t i = 1; i < std::size(order); ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                QWidget* at = QApplication::focusWidget();
                // A spin edit or an editable list may hand its focus to its edit field.
                QVERIFY2(at == order[i] || order[i]->isAncestorOf(at), qPrintable(order[i]->objectName()));
            }
        });
    }

    // Nothing is stored, the dialog stays open with the input as it was, and
    // the key that answers the box does not act again.
    void refusedStore_data() {
        QTest::addColumn<QByteArray>("genres");  // null: the built-in list
        QTest::addColumn<QStringList>("defaults");
        QTest::addColumn<bool>("modify");
        QTest::addColumn<QByteArray>("title");  // null: as the record has it
        QTest::newRow("empty title") << QByteArray() << QStringList() << false << QByteArray("");
        QTest::newRow("blank title") << QByteArray() << QStringList() << false << QByteArray(" \t  ");
        QTest::newRow("title blanked in a change") << QByteArray() << QStringList() << true << QByteArray("   ");
        QTest::newRow("blank title, no genres") << QByteArray("") << QStringList() << false << QByteArray(" ");
    }
    void refusedStore() {
        QFETCH(QByteArray, genres);
        QFETCH(QStringList, defaults);
        QFETCH(bool, modify);
        QFETCH(QByteArray, title);
        if (!genres.isNull()) PutGenres(genres.toStdString());
        Start();
        for (int i = 0; i + 1 < defaults.size(); i += 2)
            SetReg(defaults[i].toLatin1().constData(), defaults[i + 1].toLatin1().constData());
        auto steps = [&] {
            if (!title.isNull()) f2->Edit1->setText(title);
            QString typed = f2->Edit1->text();
            dialogs::test::QueueAnswer(dialogs::IDOK);
            f2->SpeedButton3->click();
            QCOMPARE(Boxes().size(), size_t(1));
            QCOMPARE(Boxes()[0].text, kRefusal);
            QCOMPARE(Boxes()[0].caption, AnsiString("Error adding/modifying entry"));
            QCOMPARE(Boxes()[0].icon, dialogs::Icon::Error);
            QCOMPARE(Boxes()[0].buttons, dialogs::Buttons::OK);
            QVERIFY(f2->isVisible());
            QCOMPARE(f2->Edit1->text(), typed);
            // The release of the Enter that closed the box (the box took its
            // press) is ignored; the next Enter tries again.
            dialogs::test::QueueAnswer(dialogs::IDOK);
            ReleaseOnly(Qt::Key_Return);
            QCOMPARE(Boxes().size(), size_t(1));
            Enter();
            QCOMPARE(Boxes().size(), size_t(2));
            QVERIFY(f2->isVisible());
        };
        if (modify) Modify(0, steps);
        else
            New(steps);
        QCOMPARE(Rows(), 2);
        QCOMPARE(Row(0), kSolaris);
        QCOMPARE(Row(1), kStalker);
        QVERIFY(f2->NothingSaved());
        QVERIFY(!w.form1->DataModified);
    }

    // Only a blank title refuses a store: a list left without a selection
    // (no genres at all, too few for the record's unknown genre, a
    // remembered index beyond a list) stores an empty field, which reads
    // back so from the saved catalogue. The genre list, empty or not, shows
    // a focus mark while it has the keyboard.
    void storedWithoutSelection_data() {
        QTest::addColumn<QByteArray>("genres");
        QTest::addColumn<QStringList>("defaults");
        QTest::addColumn<bool>("modify");
        QTest::addColumn<int>("empty");  // the field stored empty
        QTest::newRow("no genres, new") << QByteArray("") << QStringList() << false << int(FieldGenre);
        QTest::newRow("no genres, change") << QByteArray(" \r\n\r\n") << QStringList() << true << int(FieldGenre);
        QTest::newRow("one genre, change") << QByteArray("Western\r\n") << QStringList() << true << int(FieldGenre);
        const QByteArray one("Drama\r\n");
        QTest::newRow("media") << one << QStringList{"DefType", "9"} << false << int(FieldMedia);
        QTest::newRow("language") << one << QStringList{"DefLanguage", "5"} << false << int(FieldLanguage);
        QTest::newRow("viewed") << one << QStringList{"DefViewed", "2"} << false << int(FieldViewed);
    }
    void storedWithoutSelection() {
        QFETCH(QByteArray, genres);
        QFETCH(QStringList, defaults);
        QFETCH(bool, modify);
        QFETCH(int, empty);
        PutGenres(genres.toStdString());
        TForm1* f = Start();
        Activate(f);
        for (int i = 0; i + 1 < defaults.size(); i += 2) SetReg(qPrintable(defaults[i]), qPrintable(defaults[i + 1]));
        auto steps = [&] {
            WaitForTitleFocus();
            if (!modify) f2->Edit1->setText("Mirror");
            UserKey(Qt::Key_Tab);
            UserKey(Qt::Key_Tab);
            QCOMPARE(FocusedNow(), static_cast<QWidget*>(f2->ListBox1));
            const QImage focused = f2->ListBox1->grab().toImage();
            UserKey(Qt::Key_Tab);
            QVERIFY(focused != f2->ListBox1->grab().toImage());
            f2->SpeedButton3->click();
        };
        if (modify) Modify(0, steps);
        else
            New(steps);
        QVERIFY(Boxes().empty() && f->DataModified);
        const int row = modify ? 0 : 2;
        MovieRecord expected = modify ? kSolaris : Row(row);
        QCOMPARE(expected.Title, AnsiString(modify ? "Solaris" : "Mirror"));
        expected.Field(empty).clear();
        QCOMPARE(Row(row), expected);
        f->SaveCatalogue();
        w.Destroy();
        w.Create(nullptr);
        QCOMPARE(Row(row), expected);
    }

    void titleStoredAsTyped_data() {
        QTest::addColumn<QString>("title");
        QTest::newRow("leading blanks") << "   Mirror";
        QTest::newRow("trailing blanks") << "Mirror  ";
        QTest::newRow("code page letters") << QString::fromUtf8("Amélie à Paris €");
    }
    void titleStoredAsTyped() {
        QFETCH(QString, title);
        Start();
        New([&] {
            TypeText(f2->Edit1, title);
            f2->SpeedButton3->click();
        });
        QCOMPARE(Rows(), 3);
        QCOMPARE(Row(2).Title, ansi::FromQString(title));
        QVERIFY(Boxes().empty());
    }

    // Enter in the description starts a new line there; on its release the
    // entry is stored with the lines joined, without a separator.
    void descriptionStoredAsOneLine() {
        Start();
        New([this] {
            WaitForTitleFocus();
            TypeText(f2->Edit1, "Mirror");
            f2->PageControl1->setCurrentIndex(1);
            f2->Memo2->setFocus();
            TypeText(f2->Memo2, "A boy");
            QTest::keyPress(f2->Memo2, Qt::Key_Return);
            QCOMPARE(f2->Memo2->Text(), AnsiString("A boy\r\n"));
            TypeText(f2->Memo2, "remembers.");
            Enter();
            QCOMPARE(Rows(), 3);
            QVERIFY(f2->isVisible());
            QCOMPARE(f2->PageControl1->currentIndex(), 0);
        });
        QCOMPARE(Row(2).Description, AnsiString("A boyremembers."));
    }

    // A record's texts that are not in the lists: the second item is shown
    // and, when the change is saved, stored.
    void fillFromRecord_data() {
        QTest::addColumn<int>("field");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("unknown genre") << int(FieldGenre) << QByteArray("Sci-Fi") << QByteArray("Action");
        QTest::newRow("genre differing in case") << int(FieldGenre) << QByteArray("drama") << QByteArray("Action");
        QTest::newRow("unknown media") << int(FieldMedia) << QByteArray("Laserdisc") << QByteArray("SVCD");
        QTest::newRow("unknown language") << int(FieldLanguage) << QByteArray("Russian") << QByteArray("English");
        QTest::newRow("unknown viewed") << int(FieldViewed) << QByteArray("maybe") << QByteArray("No");
        QTest::newRow("typed status") << int(FieldStatus) << QByteArray("Lent to Anna") << QByteArray("Lent to Anna");
        QTest::newRow("listed status") << int(FieldStatus) << QByteArray("To Be Bought") << QByteArray("To Be Bought");
        QTest::newRow("disks beyond range") << int(FieldDisks) << QByteArray("250") << QByteArray("100");
        QTest::newRow("disks not a number") << int(FieldDisks) << QByteArray("two") << QByteArray("1");
        QTest::newRow("MID not a number") << int(FieldMID) << QByteArray("x") << QByteArray("2");
        QTest::newRow("MID beyond range") << int(FieldMID) << QByteArray("12000") << QByteArray("10000");
    }
    void fillFromRecord() {
        QFETCH(int, field);
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, stored);
        MovieRecord film = kSolaris;
        film.Field(field) = value.toStdString();
        Start({film, kStalker});
        Modify(0, [this] {
            QVERIFY(f2->ModifyMode());
            QCOMPARE(f2->ModifiedItem(), 0);
            f2->SpeedButton3->click();
        });
        MovieRecord expected = kSolaris;
        expected.Field(field) = stored.toStdString();
        QCOMPARE(Row(0), expected);
        QCOMPARE(Row(1), kStalker);
        QVERIFY(w.form1->DataModified);
    }

    // The remembered defaults of a new entry, with their fallbacks.
    void fillDefaults_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("value");  // null: absent
        QTest::addColumn<int>("field");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("genre absent") << QByteArray("DefGenre") << QByteArray() << int(FieldGenre)
                                      << QByteArray("Adventure");
        QTest::newRow("genre 3") << QByteArray("DefGenre") << QByteArray("3") << int(FieldGenre)
                                 << QByteArray("Cartoon");
        QTest::newRow("genre negative") << QByteArray("DefGenre") << QByteArray("-4") << int(FieldGenre)
                                        << QByteArray("Adventure");
        QTest::newRow("genre not a number")
            << QByteArray("DefGenre") << QByteArray("x1") << int(FieldGenre) << QByteArray("Adventure");
        QTest::newRow("media 2") << QByteArray("DefType") << QByteArray("2") << int(FieldMedia) << QByteArray("DVD");
        QTest::newRow("language 3") << QByteArray("DefLanguage") << QByteArray("3") << int(FieldLanguage)
                                    << QByteArray("Espaniol");
        QTest::newRow("typed status") << QByteArray("DefStatus") << QByteArray("-1") << int(FieldStatus)
                                      << QByteArray("Owned");
        QTest::newRow("viewed 1") << QByteArray("DefViewed") << QByteArray("1") << int(FieldViewed) << QByteArray("No");
        QTest::newRow("disks absent") << QByteArray("DefDisks") << QByteArray() << int(FieldDisks) << QByteArray("1");
        QTest::newRow("disks 0") << QByteArray("DefDisks") << QByteArray("0") << int(FieldDisks) << QByteArray("1");
        QTest::newRow("disks 7") << QByteArray("DefDisks") << QByteArray("7") << int(FieldDisks) << QByteArray("7");
        QTest::newRow("rating") << QByteArray("DefRating") << QByteArray(" 9 of 10") << int(FieldRating)
                                << QByteArray(" 9 of 10");
        QTest::newRow("next free MID") << QByteArray("DefDisks") << QByteArray() << int(FieldMID) << QByteArray("1");
    }
    void fillDefaults() {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, value);
        QFETCH(int, field);
        QFETCH(QByteArray, stored);
        Start();
        if (!value.isNull()) SetReg(name.constData(), value.constData());
        New([this] {
            QVERIFY(!f2->ModifyMode());
            TypeText(f2->Edit1, "Mirror");
            f2->SpeedButton3->click();
        });
        QCOMPARE(Rows(), 3);
        QCOMPARE(QByteArray::fromStdString(Row(2).Field(field)), stored);
    }

    // A remembered default stored as another type than text (by another
    // program, an older version, a hand edit) counts as absent: no error,
    // every other field filled as usual, the next free MID, the focus in the
    // title field.
    void wrongTypedDefaultsFallBack_data() {
        QTest::addColumn<QByteArray>("name");
        for (const char* name :
             {"DefGenre", "DefType", "DefDisks", "DefRating", "DefLanguage", "DefStatus", "DefViewed"})
            QTest::newRow(name) << QByteArray(name);
    }
    void wrongTypedDefaultsFallBack() {
        QFETCH(QByteArray, name);
        Start();
        const std::map<QByteArray, QByteArray> others = {{"DefGenre", "5"},  {"DefType", "2"},     {"DefDisks", "3"},
                                                         {"DefRating", "7"}, {"DefLanguage", "1"}, {"DefStatus", "2"},
                                                         {"DefViewed", "1"}};
        for (const auto& [other, value] : others)
            if (other != name) SetReg(other.constData(), value.constData());
        registry::TRegistry reg;
        QVERIFY(reg.OpenKey("Software\\varnholt\\Flickstow", true));
        reg.WriteInteger(name.toStdString(), 4);
        New([&] {
            WaitForTitleFocus();
            QVERIFY(Boxes().empty());
            QCOMPARE(f2->CSpinEdit2->value(), 1);
            TypeText(f2->Edit1, "Mirror");
            f2->SpeedButton3->click();
        });
        QVERIFY(Boxes().empty());
        QCOMPARE(Rows(), 3);
        const MovieRecord expected{"Mirror",
                                   "1",
                                   name == "DefGenre" ? "Adventure" : "Drama",
                                   name == "DefLanguage" ? "German" : "English",
                                   name == "DefType" ? "VCD" : "DVD",
                                   name == "DefDisks" ? "1" : "3",
                                   name == "DefStatus" ? "Owned" : "To Be Bought",
                                   name == "DefViewed" ? "Yes" : "No",
                                   name == "DefRating" ? "" : "7",
                                   "",
                                   ""};
        QCOMPARE(Row(2), expected);
    }

    void typedStatusBecomesMinusOne() {
        Start();
        New([this] {
            TypeText(f2->Edit1, "Mirror");
            f2->ComboBox4->lineEdit()->clear();
            TypeText(f2->ComboBox4->lineEdit(), "Lent to Anna");
            QCOMPARE(Reg("DefStatus"), AnsiString("-1"));
            f2->SpeedButton2->click();
            // The next new entry reads "-1" as the first item.
            QCOMPARE(f2->ComboBox4->currentText(), QString("Owned"));
        });
        QCOMPARE(Row(2).Status, AnsiString("Lent to Anna"));
    }

    // Opening a title for change writes its disks and rating as the defaults
    // of the next new entry; the lists' defaults stay as they were.
    void changeMakesNextDefaults() {
        Start();
        SetReg("DefGenre", "4");
        Modify(0, [this] { f2->SpeedButton1->click(); });
        QCOMPARE(Reg("DefDisks"), AnsiString("2"));
        QCOMPARE(Reg("DefRating"), AnsiString("8/10"));
        QCOMPARE(Reg("DefGenre"), AnsiString("4"));
        QCOMPARE(Reg("DefType"), AnsiString());
        New([this] {
            QCOMPARE(f2->CSpinEdit1->value(), 2);
            QCOMPARE(f2->Edit2->text(), QString("8/10"));
            f2->SpeedButton1->click();
        });
        QVERIFY(!w.form1->DataModified);
    }

    // What the user chooses is remembered at once.
    void changesWriteDefaults_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("key");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("genre") << "ListBox1" << int(Qt::Key_Down) << QByteArray("DefGenre") << QByteArray("1");
        QTest::newRow("media") << "ComboBox3" << int(Qt::Key_Down) << QByteArray("DefType") << QByteArray("1");
        QTest::newRow("language") << "ComboBox2" << int(Qt::Key_Down) << QByteArray("DefLanguage") << QByteArray("1");
        QTest::newRow("status") << "ComboBox4" << int(Qt::Key_Down) << QByteArray("DefStatus") << QByteArray("1");
        QTest::newRow("viewed") << "ComboBox5" << int(Qt::Key_Down) << QByteArray("DefViewed") << QByteArray("1");
        QTest::newRow("disks") << "CSpinEdit1" << int(Qt::Key_Up) << QByteArray("DefDisks") << QByteArray("2");
        QTest::newRow("rating") << "Edit2" << int(Qt::Key_7) << QByteArray("DefRating") << QByteArray("7");
    }
    void changesWriteDefaults() {
        QFETCH(QString, control);
        QFETCH(int, key);
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, value);
        Start();
        New([&] {
            QWidget* widget = f2->findChild<QWidget*>(control);
            QVERIFY(widget);
            widget->setFocus();
            QTest::keyClick(widget, Qt::Key(key));
            QCOMPARE(QByteArray::fromStdString(Reg(name.constData())), value);
            f2->SpeedButton1->click();
        });
    }

    void saveAndNewInChangeAppendsFromThenOn() {
        Start();
        Modify(0, [this] {
            WaitForTitleFocus();
            f2->Edit1->setText("Solaris (1972)");
            f2->SpeedButton2->click();
            QVERIFY(!f2->ModifyMode());
            QCOMPARE(f2->Edit1->text(), QString());
            QCOMPARE(f2->CSpinEdit2->value(), 1);
            TypeText(f2->Edit1, "Mirror");
            Enter();
            TypeText(f2->Edit1, "Nostalghia");
            Enter();
            QVERIFY(f2->isVisible());
            // Two entries stored with Save & New: the next MID counts them.
            QCOMPARE(f2->CSpinEdit2->value(), 5);
        });
        QCOMPARE(Rows(), 4);
        QCOMPARE(Row(0).Title, AnsiString("Solaris (1972)"));
        QCOMPARE(Row(1), kStalker);
        QCOMPARE(Row(2).Title, AnsiString("Mirror"));
        QCOMPARE(Row(2).MID, AnsiString("1"));
        QCOMPARE(Row(3).Title, AnsiString("Nostalghia"));
        QCOMPARE(Row(3).MID, AnsiString("2"));
        QVERIFY(w.form1->DataModified);
    }

    void duplicateMidAccepted() {
        Start();
        New([this] {
            TypeText(f2->Edit1, "Solaris (2002)");
            f2->CSpinEdit2->setValue(3);
            f2->SpeedButton3->click();
        });
        QCOMPARE(Rows(), 3);
        QCOMPARE(Row(2).MID, AnsiString("3"));
        QCOMPARE(Row(0).MID, AnsiString("3"));
        QVERIFY(Boxes().empty());
    }

    // After the dialog the main window marks the catalogue modified exactly
    // when something was stored while it was open.
    void modifiedAfterTheDialog_data() {
        QTest::addColumn<QString>("ending");
        QTest::addColumn<bool>("modified");
        QTest::addColumn<int>("rows");
        QTest::newRow("cancel") << "cancel" << false << 2;
        QTest::newRow("close box") << "close" << false << 2;
        QTest::newRow("save and close") << "save and close" << true << 3;
        QTest::newRow("save & new, then cancel") << "save & new, cancel" << true << 3;
        QTest::newRow("save & new, then close box") << "save & new, close" << true << 3;
        QTest::newRow("save & new, then escape") << "save & new, escape" << true << 3;
    }
    void modifiedAfterTheDialog() {
        QFETCH(QString, ending);
        QFETCH(bool, modified);
        QFETCH(int, rows);
        Start();
        New([&] {
            TypeText(f2->Edit1, "Mirror");
            if (ending.startsWith("save & new")) f2->SpeedButton2->click();
            if (ending == "save and close") f2->SpeedButton3->click();
            else if (ending.endsWith("cancel"))
                f2->SpeedButton1->click();
            else if (ending.endsWith("close"))
                f2->close();
            else
                UserKey(Qt::Key_Escape);
            QVERIFY(!f2->isVisible());
        });
        QCOMPARE(f2->NothingSaved(), !modified);
        QCOMPARE(w.form1->DataModified, modified);
        QCOMPARE(w.form1->StatusPanelText(0), modified ? QString("  Modified") : QString());
        QCOMPARE(w.form1->StatusPanelText(1), QString("  %1 Filmes listed").arg(rows));
        QCOMPARE(Rows(), rows);
    }

    void escapeActsOnRelease() {
        Start();
        New([this] {
            WaitForTitleFocus();
            TypeText(f2->Edit1, "Mirror");
            QTest::keyPress(FocusedNow(), Qt::Key_Escape);
            QVERIFY(f2->isVisible());
            QTest::keyRelease(FocusedNow(), Qt::Key_Escape);
            QVERIFY(!f2->isVisible());
        });
        QCOMPARE(Rows(), 2);
    }

    void enterActsOnRelease_data() {
        QTest::addColumn<bool>("modify");
        QTest::newRow("change: save and close") << true;
        QTest::newRow("new: save & new") << false;
    }
    void enterActsOnRelease() {
        QFETCH(bool, modify);
        Start();
        auto steps = [&] {
            WaitForTitleFocus();
            f2->Edit1->setText("Mirror");
            QTest::keyPress(FocusedNow(), Qt::Key_Enter);
            QVERIFY(f2->isVisible());
            QCOMPARE(Rows(), 2);
            QTest::keyRelease(FocusedNow(), Qt::Key_Enter);
            QCOMPARE(f2->isVisible(), !modify);
        };
        if (modify) Modify(1, steps);
        else
            New(steps);
        QCOMPARE(Rows(), modify ? 2 : 3);
        QCOMPARE(Row(modify ? 1 : 2).Title, AnsiString("Mirror"));
    }

    // Cancel drops a new entry's picture file; in a change a cleared picture
    // stays cleared. Only files inside the program folder are ever deleted,
    // whatever the picture field says.
    void pictureFiles_data() {
        QTest::addColumn<bool>("modify");
        QTest::addColumn<QByteArray>("picture");
        QTest::addColumn<int>("clearAnswer");  // 0: not cleared
        QTest::addColumn<bool>("inFolderDeleted");
        QTest::newRow("new, cancel") << false << QByteArray("t_mirror12.jpg") << 0 << true;
        QTest::newRow("new, cancel, name leading out") << false << QByteArray("../t_mirror12.jpg") << 0 << true;
        QTest::newRow("change, cancel") << true << QByteArray("t_mirror12.jpg") << 0 << false;
        QTest::newRow("change, cleared, cancel") << true << QByteArray("t_mirror12.jpg") << int(dialogs::IDYES) << true;
        QTest::newRow("change, clear declined") << true << QByteArray("t_mirror12.jpg") << int(dialogs::IDNO) << false;
        QTest::newRow("change, cleared, name leading out")
            << true << QByteArray("..\\t_mirror12.jpg") << int(dialogs::IDYES) << true;
    }
    void pictureFiles() {
        QFETCH(bool, modify);
        QFETCH(QByteArray, picture);
        QFETCH(int, clearAnswer);
        QFETCH(bool, inFolderDeleted);
        AnsiString inFolder = InProgramDir("t_mirror12.jpg");
        AnsiString outside = ProgramDir() + "../t_mirror12.jpg";
        const AnsiString thumbnail = MakeJpeg(JpegKind::Baseline, 161, 157, Qt::red, Qt::blue);
        WriteFile(inFolder, thumbnail);
        WriteFile(outside, thumbnail);
        MovieRecord film = kSolaris;
        film.Picture = picture.toStdString();
        Start({film, kStalker});
        auto steps = [&] {
            if (!modify) f2->Edit4->setText(picture);
            QCOMPARE(f2->Edit4->text(), QString(picture));
            if (clearAnswer) {
                dialogs::test::QueueAnswer(clearAnswer);
                f2->SpeedButton4->click();
                QCOMPARE(Boxes().size(), size_t(1));
                QCOMPARE(Boxes()[0].text, AnsiString("Do you really want to delete the current picture?"));
                QCOMPARE(Boxes()[0].caption, AnsiString("Warning"));
                QCOMPARE(Boxes()[0].icon, dialogs::Icon::Question);
                QCOMPARE(Boxes()[0].buttons, dialogs::Buttons::YesNo);
            }
            f2->SpeedButton1->click();
        };
        if (modify) Modify(0, steps);
        else
            New(steps);
        QCOMPARE(files::FileExists(inFolder), !inFolderDeleted);
        QVERIFY(files::FileExists(outside));
        QCOMPARE(Rows(), 2);
        bool cleared = clearAnswer == dialogs::IDYES;
        QCOMPARE(QByteArray::fromStdString(Row(0).Picture), cleared ? QByteArray() : picture);
        // A picture cleared from a record is a change to the catalogue.
        QCOMPARE(w.form1->DataModified, cleared);
    }

    // A picture field comes from the catalogue file, so it may name
    // anything. Clearing it, resetting the entry or cancelling a new entry
    // deletes only a thumbnail of the program's own (a plain "t_" file in
    // the program folder); any other file, folder or link stays as it was.
    void pictureFieldNeverDeletesOtherFiles_data() {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QByteArray>("picture");
        QTest::addColumn<QString>("deleted");  // the file that goes, or empty
        const QByteArray names[] = {"data.vrx",    "genres.vrx", "flickstow", QByteArray("cover\0/../data.vrx", 18),
                                    "../data.vrx", "t_folder",   "t_link",    "data.vrx.bak",
                                    "t_"};
        for (const char* way : {"clear", "reset", "cancel new"}) {
            for (const QByteArray& name : names)
                QTest::addRow("%s: %s", way, QByteArray(name).replace('\0', "<NUL>").constData())
                    << way << name << QString();
            QTest::addRow("%s: own thumbnail", way) << way << QByteArray("t_cover417.jpg") << "t_cover417.jpg";
        }
    }
    void pictureFieldNeverDeletesOtherFiles() {
        QFETCH(QString, way);
        QFETCH(QByteArray, picture);
        QFETCH(QString, deleted);
        MovieRecord film = kSolaris;
        film.Picture = picture.toStdString();
        PutGenres("Drama\r\nThriller\r\n");
        WriteFile(InProgramDir("flickstow"),
                  "\x7f"
                  "ELF");
        WriteFile(InProgramDir("data.vrx.bak"), "yesterday");
        WriteFile(InProgramDir("t_"), "not a thumbnail: nothing follows the t_");
        WriteFile(InProgramDir("t_cover417.jpg"), MakeJpeg(JpegKind::Baseline, 161, 157, Qt::red, Qt::blue));
        QVERIFY(QDir().mkdir(QString::fromStdString(InProgramDir("t_folder"))));
        QCOMPARE(::symlink("data.vrx", InProgramDir("t_link").c_str()), 0);
        Start({film, kStalker});
        // Opening the entry shows the file the field names as its picture;
        // a file that is no picture is reported.
        const bool reported = way != "cancel new" && picture != "t_cover417.jpg" &&
                              files::FileExists(PicturePath(ProgramDir(), film.Picture));
        if (reported) dialogs::test::QueueAnswer(dialogs::IDOK);
        const QDir folder(QString::fromStdString(ProgramDir()));
        auto contents = [&] {
            QMap<QString, QByteArray> files;
            for (const QFileInfo& f : folder.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
                files[f.fileName()] = f.isSymLink() ? "link to " + f.symLinkTarget().toUtf8()
                                      : f.isDir()   ? QByteArray("folder")
                                                    : QByteArray::fromStdString(ReadFile(f.filePath().toStdString()));
            return files;
        };
        QMap<QString, QByteArray> before = contents();
        bool ran = false;
        auto steps = [&] {
            if (way == "cancel new") {
                f2->Edit4->setText(ansi::ToQString(film.Picture));
                f2->SpeedButton1->click();
            } else {
                dialogs::test::QueueAnswer(dialogs::IDYES);
                (way == "clear" ? f2->SpeedButton4 : f2->SpeedButton5)->click();
                QCOMPARE(f2->Edit4->text(), QString());
                f2->SpeedButton1->click();
            }
            ran = true;
        };
        if (way == "cancel new") New(steps);
        else
            Modify(0, steps);
        QVERIFY(ran);
        if (reported) QVERIFY(Boxes().front().text.starts_with("Not a JPEG file"));
        before.remove(deleted);
        QCOMPARE(contents(), before);
        if (way != "cancel new") QCOMPARE(Row(0).Picture, AnsiString());
    }

    void clearWithoutPictureAsksNothing() {
        Start();
        New([this] {
            f2->PageControl1->setCurrentIndex(1);
            f2->SpeedButton4->click();
            QVERIFY(Boxes().empty());
        });
    }

    void resetEntries() {
        Start();
        WriteFile(InProgramDir("t_mirror12.jpg"), "jpeg");
        SetReg("DefGenre", "5");
        SetReg("DefType", "3");
        New([this] {
            TypeText(f2->Edit1, "Mirror");
            f2->CSpinEdit2->setValue(77);
            f2->CSpinEdit1->setValue(4);
            TypeText(f2->Edit2, "10");
            TypeText(f2->ComboBox4->lineEdit(), "Lent to Anna");
            f2->Memo2->SetText("Memories.");
            f2->Edit4->setText("t_mirror12.jpg");
            dialogs::test::QueueAnswer(dialogs::IDYES);
            f2->SpeedButton5->click();
            QCOMPARE(Boxes().size(), size_t(1));
            QCOMPARE(f2->Edit1->text(), QString());
            QCOMPARE(f2->Edit4->text(), QString());
            QCOMPARE(f2->ListBox1->currentRow(), 0);
            for (QComboBox* list : {f2->ComboBox3, f2->ComboBox2, f2->ComboBox4, f2->ComboBox5})
                QCOMPARE(list->currentIndex(), 0);
            QCOMPARE(f2->ComboBox4->currentText(), QString("Owned"));
            QCOMPARE(f2->CSpinEdit1->value(), 1);
            QCOMPARE(f2->CSpinEdit2->value(), 77);
            QCOMPARE(f2->Edit2->text(), QString());
            QCOMPARE(f2->Memo2->Text(), AnsiString());
            for (const char* name : {"DefGenre", "DefViewed", "DefStatus", "DefType", "DefLanguage"})
                QCOMPARE(Reg(name), AnsiString("0"));
            QCOMPARE(Reg("DefRating"), AnsiString());
            QCOMPARE(Reg("DefDisks"), AnsiString("1"));
            f2->SpeedButton1->click();
        });
        QVERIFY(!files::FileExists(InProgramDir("t_mirror12.jpg")));
    }

    // F2, F3, Enter and left double clicks in the main window open the
    // editor: new, or the first selected row in display order. Without a
    // selection the change commands do nothing; other buttons' double clicks
    // never open it. Keys go where the focus really is: the list has it.
    void openFromMainWindow_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<QString>("opens");  // "new", "change" or "nothing"
        QTest::newRow("F2") << "F2" << true << "new";
        QTest::newRow("F2, nothing selected") << "F2" << false << "new";
        QTest::newRow("new entry button") << "ToolButton4" << true << "new";
        QTest::newRow("F3") << "F3" << true << "change";
        QTest::newRow("modify button") << "ToolButton1" << true << "change";
        QTest::newRow("Enter in the list") << "Enter" << true << "change";
        QTest::newRow("keypad Enter in the list") << "keypad Enter" << true << "change";
        QTest::newRow("double click on a row") << "double click row" << true << "change";
        QTest::newRow("double click below the rows") << "double click below" << true << "change";
        QTest::newRow("right double click on a row") << "right double click row" << true << "nothing";
        QTest::newRow("middle double click on a row") << "middle double click row" << true << "nothing";
        QTest::newRow("F3, nothing selected") << "F3" << false << "nothing";
        QTest::newRow("Enter, nothing selected") << "Enter" << false << "nothing";
        QTest::newRow("double click below, nothing selected") << "double click below" << false << "nothing";
    }
    void openFromMainWindow() {
        QFETCH(QString, action);
        QFETCH(bool, selected);
        QFETCH(QString, opens);
        TForm1* f = Start();
        Activate(f);
        QCOMPARE(FocusedNow(), static_cast<QWidget*>(f->ListView1));
        // Both rows selected, the focus on the second: the first opens.
        if (selected) f->ListView1->selectAll();
        f->ListView1->selectionModel()->setCurrentIndex(f->Catalogue->index(1, 0), QItemSelectionModel::NoUpdate);
        auto open = WhileOpen(f2, [&] {
            bool change = opens == "change";
            QCOMPARE(f2->ModifyMode(), change);
            QCOMPARE(f2->Edit1->text(), change ? QString("Solaris") : QString());
            if (change) QCOMPARE(f2->ModifiedItem(), 0);
            f2->SpeedButton1->click();
        });
        QWidget* list = f->ListView1->viewport();
        if (action == "F2") UserKey(Qt::Key_F2);
        else if (action == "F3")
            UserKey(Qt::Key_F3);
        else if (action == "Enter")
            UserKey(Qt::Key_Return);
        else if (action == "keypad Enter")
            UserKey(Qt::Key_Enter, Qt::KeypadModifier);
        else if (action.contains("double click")) {
            QPoint at = action.endsWith("row") ? f->ListView1->visualRect(f->Catalogue->index(0, 0)).center()
                                               : QPoint(20, list->height() - 10);
            Qt::MouseButton button = action.startsWith("right")    ? Qt::RightButton
                                     : action.startsWith("middle") ? Qt::MiddleButton
                                                                   : Qt::LeftButton;
            // The first click of the two arrives on its own.
            QTest::mouseClick(list, button, {}, at);
            QTest::mouseDClick(list, button, {}, at);
        } else {
            f->findChild<QToolButton*>(action)->click();
        }
        if (opens == "nothing") QVERIFY(open.NeverOpened());
        else
            QVERIFY(open.Opened());
        QVERIFY(!f->DataModified);
    }

    // The Enter that answered the delete question (the box took its press)
    // is released on the list; that release must not open the editor for
    // the row now focused. The next Enter does.
    void enterAnsweringDeleteDoesNotOpenEditor() {
        TForm1* f = Start({kSolaris, kStalker, kSolaris});
        Activate(f);
        f->ListView1->selectRow(0);
        dialogs::test::QueueAnswer(dialogs::IDYES);
        UserKey(Qt::Key_Delete);
        QCOMPARE(Rows(), 2);
        f->ListView1->selectRow(0);
        {
            auto open = WhileOpen(f2, [] {});
            ReleaseOnly(Qt::Key_Return);
            QVERIFY(open.NeverOpened());
        }
        auto open = WhileOpen(f2, [this] { f2->SpeedButton1->click(); });
        UserKey(Qt::Key_Return);
        QVERIFY(open.Opened());
    }

    // A key pressed in a dialog that closes on that press is released in
    // the main window: the release must not act there (Enter would open the
    // editor again for the selected row).
    void releaseAfterDialogClosedOnThePress() {
        TForm1* f = Start();
        Activate(f);
        f->ListView1->selectRow(0);
        auto open = WhileOpen(f2, [this] {
            QTest::keyPress(FocusedNow(), Qt::Key_Return);
            f2->SpeedButton1->click();
        });
        UserKey(Qt::Key_F2);
        QVERIFY(open.Opened());
        // The window manager gives the main window the keyboard back, and
        // the list has it again.
        Activate(f);
        QCOMPARE(FocusedNow(), static_cast<QWidget*>(f->ListView1));
        auto again = WhileOpen(f2, [] {});
        ReleaseOnly(Qt::Key_Return);
        QVERIFY(again.NeverOpened());
    }

    // A key pressed in the main window and released after another window
    // took the keyboard was released there; a release that reaches the main
    // window later (its press went to a box that closed on it) is not that
    // key's and must not open the editor.
    void keyReleasedAfterAnotherWindowTookTheKeyboard() {
        TForm1* f = Start();
        Activate(f);
        f->ListView1->selectRow(0);
        QTest::keyPress(FocusedNow(), Qt::Key_Return);
        QWidget other;
        Activate(&other);
        QTest::keyRelease(&other, Qt::Key_Return);
        Activate(f);
        auto open = WhileOpen(f2, [] {});
        ReleaseOnly(Qt::Key_Return);
        QVERIFY(open.NeverOpened());
    }

    // Enter held down repeats: the repeats are no presses of their own, so
    // the entry is stored once, when the key comes up.
    void heldEnterStoresOnce() {
        Start();
        New([this] {
            WaitForTitleFocus();
            TypeText(f2->Edit1, "Mirror");
            auto key = [](QEvent::Type type, bool repeated) {
                QKeyEvent event(type, Qt::Key_Return, Qt::NoModifier, "\r", repeated);
                QApplication::sendEvent(FocusedNow(), &event);
            };
            key(QEvent::KeyPress, false);
            for (int i = 0; i < 3; ++i) {
                key(QEvent::KeyRelease, true);
                key(QEvent::KeyPress, true);
                QCOMPARE(Rows(), 2);
            }
            key(QEvent::KeyRelease, false);
            QCOMPARE(Rows(), 3);
            QVERIFY(Boxes().empty());
        });
        QCOMPARE(Row(2).Title, AnsiString("Mirror"));
    }

    // File > New Entry chosen with the keyboard: the Enter that chose the
    // item is pressed in the menu and released in the editor, which must
    // not take that release for its own Enter (storing an empty entry).
    void menuEnterDoesNotActInTheEditor() {
        TForm1* f = Start();
        Activate(f);
        bool released = false;
        auto open = WhileOpen(f2, [&] {
            ReleaseOnly(Qt::Key_Return);
            released = true;
            QVERIFY(f2->isVisible());
            QVERIFY(Boxes().empty());
            // The editor's own Enter still works: it refuses the blank title.
            dialogs::test::QueueAnswer(dialogs::IDOK);
            UserKey(Qt::Key_Return);
            QCOMPARE(Boxes().size(), size_t(1));
            QCOMPARE(Boxes()[0].text, kRefusal);
            f2->SpeedButton1->click();
        });
        UserKey(Qt::Key_F, Qt::AltModifier);
        QMenu* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QCOMPARE(menu->activeAction() ? menu->activeAction()->objectName() : QString(), QString("New1"));
        QTest::keyClick(menu, Qt::Key_Return);
        QVERIFY(open.Opened());
        QVERIFY(released);
        QCOMPARE(Rows(), 2);
    }

    // A character the catalogue cannot hold, typed or pasted: the field
    // keeps the rest and says so once in a tooltip under it, the program
    // beeps once, and the record holds what the field shows.
    void characterTheCatalogueCannotHold_data() {
        QTest::addColumn<int>("field");
        QTest::addColumn<bool>("pasted");
        for (int field : {FieldTitle, FieldStatus, FieldRating, FieldDescription})
            for (bool pasted : {false, true}) QTest::addRow("field %d, pasted %d", field, pasted) << field << pasted;
    }
    void characterTheCatalogueCannotHold() {
        QFETCH(int, field);
        QFETCH(bool, pasted);
        Activate(Start());
        New([&] {
            WaitForTitleFocus();
            f2->Edit1->setText("Mirror");
            QWidget* edit = std::map<int, QWidget*>{{FieldTitle, f2->Edit1},
                                                    {FieldStatus, f2->ComboBox4->lineEdit()},
                                                    {FieldRating, f2->Edit2},
                                                    {FieldDescription, f2->Memo2}}[field];
            f2->PageControl1->setCurrentIndex(field == FieldDescription ? 1 : 0);
            // The status list takes the keyboard for its edit field.
            (edit->focusProxy() ? edit->focusProxy() : edit)->setFocus();
            UserKey(Qt::Key_A, Qt::ControlModifier);
            TypeText(FocusedNow(), QString::fromUtf8("Am\u00e9lie "));
            QCOMPARE(dialogs::test::Beeps(), 0);
            // A CJK letter and an emoji (two UTF-16 units) in one piece.
            const QString foreign = QString::fromUtf8("\u6771\U0001F3AC");
            QGuiApplication::clipboard()->setText("a" + foreign + "b");
            if (pasted) UserKey(Qt::Key_V, Qt::ControlModifier);
            else
                QTest::sendKeyEvent(QTest::Click, FocusedNow(), Qt::Key_unknown, foreign, Qt::NoModifier);
            auto* line = qobject_cast<QLineEdit*>(edit);
            const QString kept = QString::fromUtf8(pasted ? "Am\u00e9lie ab" : "Am\u00e9lie ");
            QCOMPARE(line ? line->text() : f2->Memo2->toPlainText(), kept);
            QCOMPARE(dialogs::test::Beeps(), 1);
            const auto notices = edit->findChildren<QLabel*>("CannotHoldNotice");
            QVERIFY(notices.size() == 1 && notices[0]->isVisible());
            QCOMPARE(notices[0]->text(), QString("Flickstow's catalogue cannot hold this character"));
            const QPoint at = notices[0]->frameGeometry().topLeft() - edit->mapToGlobal(QPoint(0, edit->height()));
            QVERIFY2(at.x() == 0 && at.y() >= 0 && at.y() <= 4, qPrintable(QString("%1,%2").arg(at.x()).arg(at.y())));
            f2->CSpinEdit2->setFocus();
            QVERIFY(!notices[0]->isVisible());
            f2->SpeedButton3->click();
        });
        QCOMPARE(Rows(), 3);
        QCOMPARE(Row(2).Field(field), AnsiString(pasted ? "Am\xE9lie ab" : "Am\xE9lie "));
    }

    // The editor takes only what the code page holds.
    void editsTakeOnlyCodePageText() {
        Start();
        New([this] {
            f2->ComboBox4->lineEdit()->clear();
            for (QWidget* edit : {static_cast<QWidget*>(f2->Edit1), static_cast<QWidget*>(f2->Edit2),
                                  static_cast<QWidget*>(f2->ComboBox4->lineEdit()), static_cast<QWidget*>(f2->Memo2)})
                TypeText(edit, QString::fromUtf8("Ωé"));
            QCOMPARE(f2->Edit1->text(), QString::fromUtf8("é"));
            QCOMPARE(f2->Edit2->text(), QString::fromUtf8("é"));
            QCOMPARE(f2->ComboBox4->currentText(), QString::fromUtf8("é"));
            QCOMPARE(f2->Memo2->Text(), AnsiString("\xE9"));
            f2->SpeedButton1->click();
        });
    }
};

FLICKSTOW_TEST_MAIN(TestTForm2)
#include "test_TForm2.moc"
