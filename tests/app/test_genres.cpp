#include "app/forms/TImage.h"
#include "components/Enhancedform/Enhancedform.h"
#include "components/Vreg/Vreg.h"
#include "platform/edits/edits.h"
#include "platform/files/files.h"
#include "tests/app/Windows.h"
#include "tests/support/TestSupport.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QTableView>
#include <QToolButton>
#include <cerrno>
#include <cstring>
#include <unistd.h>

using namespace testsupport;

namespace {

const char* const kBuiltIn =
    "Adventure\r\nAction\r\nAnimation\r\nCartoon\r\nDocumentation\r\nDrama\r\nErotic\r\nFantasy\r\nHistory\r\n"
    "Horror\r\nMusic\r\nThriller\r\n";
const QStringList kBuiltInList{"Adventure", "Action",  "Animation", "Cartoon", "Documentation", "Drama",
                               "Erotic",    "Fantasy", "History",   "Horror",  "Music",         "Thriller"};

}  // namespace

class TestGenres : public QObject {
    Q_OBJECT

    Windows w;
    TForm2* f2 = nullptr;
    TForm4* f4 = nullptr;

    AnsiString Path() { return InProgramDir("genres.vrx"); }
    void Start() {
        AnsiString films = "Solaris\r\nDrama\r\nEnglish\r\nDVD\r\n1\r\nOwned\r\nYes\r\n3\r\n\r\n\r\n\r\n\r\n***\r\n";
        w.Create(&films);
        f2 = w.form2;
        f4 = w.form4;
    }
    QStringList Genres() {
        QStringList items;
        for (int i = 0; i < f2->ListBox1->count(); ++i) items << f2->ListBox1->item(i)->text();
        return items;
    }
    // The genre list the entry editor offers when it opens for a new entry.
    QStringList OfferedGenres() {
        QStringList genres;
        auto open = WhileOpen(f2, [&] { genres = Genres(); });
        w.form1->SpeedButton1Click();
        return genres;
    }
    void EditGenres(std::function<void()> steps) {
        auto open = WhileOpen(f4, steps);
        w.form1->EditGenres1->trigger();
    }
    // Stores a new entry with the remembered defaults; returns its genre.
    AnsiString NewEntryGenre() {
        auto open = WhileOpen(f2, [&] {
            f2->Edit1->setText("Mirror");
            f2->SpeedButton3->click();
        });
        w.form1->SpeedButton1Click();
        return w.form1->Catalogue->Record(w.form1->Catalogue->rowCount() - 1).Genre;
    }
    QStringList ProgramFiles() { return QDir(QString::fromStdString(ProgramDir())).entryList(QDir::Files); }
    // The box of a write that fails for want of room, the reason on a line of its own.
    QString DiskFull() {
        return QString::fromStdString("Cannot create file " + Path() + ".\n") +
               QString::fromLocal8Bit(std::strerror(ENOSPC)) + ".";
    }

private slots:
    void init() { FreshSandbox(); }
    void cleanup() {
        files::test::FailReadsOf("");
        w.Destroy();
    }

    void looks() {
        Start();
        EditGenres([this] {
            QCOMPARE(f4->windowTitle(), QString("Edit Genres"));
            // The client area; the painted frame and caption lie around it.
            QCOMPARE(f4->EnhancedForm1->ClientRect().size(), QSize(295, 301));
            QCOMPARE(f4->minimumSize(), f4->maximumSize());
            QCOMPARE(f4->Memo1->size(), QSize(281, 249));
            QCOMPARE(f4->Memo1->font().family(), QString("Courier New"));
            QCOMPARE(f4->Memo1->lineWrapMode(), QPlainTextEdit::NoWrap);
            QCOMPARE(f4->Memo1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
            QCOMPARE(f4->Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
            QCOMPARE(f4->BitBtn1->text(), QString("&Ok"));
            QCOMPARE(f4->SpeedButton1->text(), QString("&Cancel"));
            QCOMPARE(f4->Image1->geometry(), QRect(0, 267, 295, 34));
            QCOMPARE(f4->Image1->Picture().pixel(57, 1), w.form1->Image1->Picture().pixel(1, 1));
        });
    }

    void firstShowingCreatesFile_data() {
        QTest::addColumn<bool>("genreEditor");
        QTest::newRow("entry editor") << false;
        QTest::newRow("genre editor") << true;
    }
    void firstShowingCreatesFile() {
        QFETCH(bool, genreEditor);
        Start();
        QVERIFY(!files::FileExists(Path()));
        if (genreEditor) EditGenres([this] { QCOMPARE(f4->Memo1->Text(), AnsiString(kBuiltIn)); });
        else
            QCOMPARE(OfferedGenres(), kBuiltInList);
        QCOMPARE(ReadFile(Path()), AnsiString(kBuiltIn));
        QVERIFY(Boxes().empty());
    }

    // An existing file is taken as it stands and never replaced on opening:
    // the entry editor skips blank lines, the genre editor shows them.
    void existingFileTakenAsItStands_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("offered");
        QTest::addColumn<QByteArray>("memo");
        QTest::newRow("empty") << QByteArray("") << QStringList() << QByteArray("");
        QTest::newRow("blank lines only")
            << QByteArray("\r\n   \r\n\t\r\n") << QStringList() << QByteArray("\r\n   \r\n\t\r\n");
        QTest::newRow("any line ends, blanks kept")
            << QByteArray("Drama\rHorror \n\n  Sci-Fi\r\nDrama") << QStringList{"Drama", "Horror ", "  Sci-Fi", "Drama"}
            << QByteArray("Drama\r\nHorror \r\n\r\n  Sci-Fi\r\nDrama");
        QTest::newRow("code page bytes") << QByteArray("Film\xA0Noir\r\nM\xE4rchen\r\n")
                                         << QStringList{QString::fromUtf8("Film\u00A0Noir"),
                                                        QString::fromUtf8("Märchen")}
                                         << QByteArray("Film\xA0Noir\r\nM\xE4rchen\r\n");
    }
    void existingFileTakenAsItStands() {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, offered);
        QFETCH(QByteArray, memo);
        WriteFile(Path(), file.toStdString());
        Start();
        QCOMPARE(OfferedGenres(), offered);
        EditGenres([&] { QCOMPARE(QByteArray::fromStdString(f4->Memo1->Text()), memo); });
        QCOMPARE(QByteArray::fromStdString(ReadFile(Path())), file);
    }

    void deletingFileBringsBuiltInsBack() {
        WriteFile(Path(), "Western\r\n");
        Start();
        QCOMPARE(OfferedGenres(), QStringList{"Western"});
        QVERIFY(files::DeleteFile(Path()));
        QCOMPARE(OfferedGenres(), kBuiltInList);
        QCOMPARE(ReadFile(Path()), AnsiString(kBuiltIn));
        QVERIFY(files::DeleteFile(Path()));
        EditGenres([this] { QCOMPARE(f4->Memo1->Text(), AnsiString(kBuiltIn)); });
        QCOMPARE(ReadFile(Path()), AnsiString(kBuiltIn));
    }

    // The remembered genre is a place in the list, not a name.
    void defaultGenreIsAPosition() {
        WriteFile(Path(), "Crime\r\nDrama\r\nWestern\r\n");
        Start();
        w.form1->VReg1->Push("DefGenre", "1");
        QCOMPARE(NewEntryGenre(), AnsiString("Drama"));
        WriteFile(Path(), "Comedy\r\nCrime\r\nDrama\r\nWestern\r\n");
        QCOMPARE(NewEntryGenre(), AnsiString("Crime"));
    }

    void duplicateGenreSelectsTheFirst() {
        WriteFile(Path(), "Crime\r\nDrama\r\nDrama\r\n");
        Start();
        w.form1->ListView1->selectRow(0);
        auto open = WhileOpen(f2, [this] {
            QCOMPARE(Genres(), (QStringList{"Crime", "Drama", "Drama"}));
            QCOMPARE(f2->ListBox1->currentRow(), 1);
        });
        w.form1->SpeedButton4Click();
    }

    // "&Ok" writes back whatever the memo holds, with CR LF line ends.
    void okSavesTheMemo_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("saved");
        QTest::newRow("unchanged") << QByteArray("Drama\r\nHorror\r\n") << "" << QByteArray("Drama\r\nHorror\r\n");
        QTest::newRow("line added") << QByteArray("Drama\r\n") << " Western " << QByteArray("Drama\r\n Western ");
        QTest::newRow("lone line ends") << QByteArray("A\rB\nC") << "" << QByteArray("A\r\nB\r\nC");
        QTest::newRow("code page bytes") << QByteArray("Film\xA0Noir\r\n") << QString::fromUtf8("Märchen")
                                         << QByteArray("Film\xA0Noir\r\nM\xE4rchen");
        QTest::newRow("text outside the code page dropped")
            << QByteArray("") << QString::fromUtf8("Wu\u4fa0xia") << QByteArray("Wuxia");
    }
    void okSavesTheMemo() {
        QFETCH(QByteArray, file);
        QFETCH(QString, typed);
        QFETCH(QByteArray, saved);
        WriteFile(Path(), file.toStdString());
        Start();
        EditGenres([&] {
            f4->Memo1->moveCursor(QTextCursor::End);
            TypeText(f4->Memo1, typed);
            f4->BitBtn1->click();
            QVERIFY(!f4->isVisible());
        });
        QCOMPARE(QByteArray::fromStdString(ReadFile(Path())), saved);
        QCOMPARE(ProgramFiles(), (QStringList{"data.vrx", "genres.vrx"}));
        QVERIFY(!w.form1->DataModified);
    }

    void leavingWithoutSaving_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("cancel") << "cancel";
        QTest::newRow("escape") << "escape";
        QTest::newRow("close box") << "close";
    }
    void leavingWithoutSaving() {
        QFETCH(QString, how);
        WriteFile(Path(), "Drama\r\n");
        Start();
        EditGenres([&] {
            // The genre editor opens with the text in front of the user.
            QCOMPARE(FocusedNow(), static_cast<QWidget*>(f4->Memo1));
            f4->Memo1->moveCursor(QTextCursor::End);
            TypeText(f4->Memo1, "Western");
            // Enter is a new line; a pressed Escape does nothing until released.
            UserKey(Qt::Key_Return);
            QTest::keyPress(FocusedNow(), Qt::Key_Escape);
            QVERIFY(f4->isVisible());
            QCOMPARE(f4->Memo1->Text(), AnsiString("Drama\r\nWestern\r\n"));
            if (how == "cancel") f4->SpeedButton1->click();
            else if (how == "escape")
                QTest::keyRelease(FocusedNow(), Qt::Key_Escape);
            else
                f4->close();
            QVERIFY(!f4->isVisible());
        });
        QCOMPARE(ReadFile(Path()), AnsiString("Drama\r\n"));
    }

    // Another program changed the genre list while the editor was open: no
    // answer loses either list, and Cancel goes back to the text.
    void changedOnDisk_data() { AddChangedOnDiskRows(); }
    void changedOnDisk() {
        QFETCH(QString, change);
        QFETCH(int, answer);
        const AnsiString mine = "Drama\r\nHorror\r\nWestern", other = "Drama\r\n";
        WriteFile(Path(), "Drama\r\nHorror\r\n");
        Start();
        const AnsiString films = ReadFile(InProgramDir("data.vrx"));
        AnsiString side;
        EditGenres([&] {
            f4->Memo1->moveCursor(QTextCursor::End);
            TypeText(f4->Memo1, "Western");
            ChangeAsAnotherProgram(Path(), change, other);
            if (answer) dialogs::test::QueueAnswer(answer);
            f4->BitBtn1->click();
            QCOMPARE(Boxes().size(), size_t(answer ? 1 : 0));
            if (answer) {
                side = OfferedSideFile(Boxes()[0].text);
                QCOMPARE(Boxes()[0].text, ChangedQuestion(Path(), "genres", "genres.vrx.bak", side));
                QCOMPARE(Boxes()[0].caption, AnsiString("Genre list changed"));
                QCOMPARE(Boxes()[0].icon, dialogs::Icon::Warning);
                QCOMPARE(Boxes()[0].buttons, dialogs::Buttons::YesNoCancel);
                QVERIFY(side.starts_with("genres-"));
            }
            QCOMPARE(f4->isVisible(), answer == dialogs::IDCANCEL);
            QCOMPARE(f4->Memo1->Text(), mine);
            f4->close();
        });
        std::map<AnsiString, AnsiString> expected{{"data.vrx", films}, {"genres.vrx", mine}};
        if (answer == dialogs::IDYES) expected["genres.vrx.bak"] = other;
        if (answer == dialogs::IDNO) expected = {{"data.vrx", films}, {"genres.vrx", other}, {side, mine}};
        if (answer == dialogs::IDCANCEL) expected["genres.vrx"] = other;
        QCOMPARE(ProgramFolderFiles(), expected);
    }

    // A failed write is reported; the dialog stays open with the text, and
    // the key that answered the box does not close it.
    void failedSaveKeepsTheText() {
        WriteFile(Path(), "Drama\r\n");
        Start();
        EditGenres([this] {
            f4->Memo1->moveCursor(QTextCursor::End);
            TypeText(f4->Memo1, "Western");
            files::test::FailNextWriteAfter(3);
            dialogs::test::QueueAnswer(dialogs::IDOK);
            f4->BitBtn1->click();
            QCOMPARE(Boxes().size(), size_t(1));
            QCOMPARE(QString::fromStdString(Boxes()[0].text), DiskFull());
            QCOMPARE(Boxes()[0].caption, AnsiString("Varnholt Flickstow"));
            QCOMPARE(Boxes()[0].icon, dialogs::Icon::Error);
            QVERIFY(f4->isVisible());
            QCOMPARE(f4->Memo1->Text(), AnsiString("Drama\r\nWestern"));
            QCOMPARE(ReadFile(Path()), AnsiString("Drama\r\n"));
            // The box took the Escape's press; its release lands here.
            ReleaseOnly(Qt::Key_Escape);
            QVERIFY(f4->isVisible());
            f4->BitBtn1->click();
            QVERIFY(!f4->isVisible());
        });
        QCOMPARE(ReadFile(Path()), AnsiString("Drama\r\nWestern"));
    }

    // Errors on opening are reported and the dialog goes on: with an empty
    // list when the file cannot be read (and that file is never replaced),
    // with the built-in list when it cannot be created. A folder, or links
    // going round in a circle, in the file's place count as a file that
    // cannot be read.
    void openingErrors_data() {
        QTest::addColumn<bool>("genreEditor");
        QTest::addColumn<QString>("fault");
        for (bool genreEditor : {false, true})
            for (const char* fault :
                 {"unreadable file", "folder in its place", "links in a circle", "file cannot be created"})
                QTest::addRow("%s, %s", genreEditor ? "genre editor" : "entry editor", fault) << genreEditor << fault;
    }
    void openingErrors() {
        QFETCH(bool, genreEditor);
        QFETCH(QString, fault);
        const bool unreadable = fault != "file cannot be created";
        if (fault == "unreadable file") {
            WriteFile(Path(), "Western\r\n");
            files::test::FailReadsOf(Path());
        } else if (fault == "folder in its place") {
            QVERIFY(QDir().mkdir(QString::fromStdString(Path())));
        } else if (fault == "links in a circle") {
            QCOMPARE(::symlink("genres.vrx", Path().c_str()), 0);
        } else {
            files::test::FailNextWriteAfter(0);
        }
        Start();
        const QString error = unreadable ? QString::fromStdString("Cannot open file " + Path() + ".") : DiskFull();
        dialogs::test::QueueAnswer(dialogs::IDOK);
        if (genreEditor) {
            EditGenres([&] {
                QCOMPARE(f4->Memo1->Text(), unreadable ? AnsiString() : AnsiString(kBuiltIn));
                if (!unreadable) return;
                dialogs::test::QueueAnswer(dialogs::IDOK);
                f4->BitBtn1->click();
                QCOMPARE(Boxes().size(), size_t(2));
                QCOMPARE(Boxes()[1].text, "Cannot create file " + Path() + ".");
                QVERIFY(f4->isVisible());
                f4->SpeedButton1->click();
            });
        } else {
            QCOMPARE(OfferedGenres(), unreadable ? QStringList() : kBuiltInList);
        }
        QVERIFY(!Boxes().empty());
        QCOMPARE(QString::fromStdString(Boxes()[0].text), error);
        QCOMPARE(Boxes()[0].caption, AnsiString("Varnholt Flickstow"));
        QCOMPARE(Boxes()[0].icon, dialogs::Icon::Error);
        QCOMPARE(Boxes()[0].buttons, dialogs::Buttons::OK);
        files::test::FailReadsOf("");
        if (fault == "unreadable file") QCOMPARE(ReadFile(Path()), AnsiString("Western\r\n"));
        if (fault == "folder in its place") QCOMPARE(files::KindOf(Path()), files::PathKind::Folder);
        if (fault == "links in a circle")
            QCOMPARE(QFileInfo(QString::fromStdString(Path())).symLinkTarget(), QString::fromStdString(Path()));
    }
};

FLICKSTOW_TEST_MAIN(TestGenres)
#include "test_genres.moc"
