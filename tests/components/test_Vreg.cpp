#include "components/Vreg/Vreg.h"
#include "platform/errors/Exception.h"
#include "platform/files/files.h"
#include "platform/module/module.h"
#include "platform/registry/registry.h"
#include "tests/support/TestSupport.h"

#include <QCheckBox>
#include <QDir>
#include <QRadioButton>

using namespace testsupport;

class TestVreg : public QObject {
    Q_OBJECT

    TVReg* Store(const char* program, const char* company) {
        auto* reg = new TVReg(this);
        reg->SetProgrammname(program);
        reg->SetFirmenname(company);
        return reg;
    }
    static bool HiveExists() { return files::FileExists(registry::HiveFilePath()); }
    static AnsiString Read(const AnsiString& key, const AnsiString& name) {
        registry::TRegistry reg;
        return reg.OpenKey(key, false) ? reg.ReadString(name) : AnsiString("<no key>");
    }

private slots:
    void init() { FreshSandbox(); }

    void settingsKey_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("company");
        QTest::addColumn<QString>("key");
        // clang-format off
        QTest::newRow("both") << "Flickstow" << "varnholt" << "Software\\varnholt\\Flickstow";
        QTest::newRow("no company") << "Flickstow" << "" << "Software\\Flickstow";
        QTest::newRow("neither") << "" << "" << "Software";
        // clang-format on
    }
    void settingsKey() {
        QFETCH(QString, program);
        QFETCH(QString, company);
        QFETCH(QString, key);
        TVReg* reg = Store(program.toLatin1(), company.toLatin1());
        reg->Push("DefGenre", "3");
        QCOMPARE(QString::fromStdString(Read(key.toStdString(), "DefGenre")), QString("3"));
        QCOMPARE(reg->Pop("DefGenre"), AnsiString("3"));
    }

    void pushPop() {
        TVReg* reg = Store("Flickstow", "varnholt");
        reg->Push("DefRating", "very good \xe9 \"x\" = ]%");
        QCOMPARE(reg->Pop("DefRating"), AnsiString("very good \xe9 \"x\" = ]%"));
        // Value names ignore case; a push replaces the old value.
        reg->Push("defrating", "second");
        QCOMPARE(reg->Pop("DEFRATING"), AnsiString("second"));
        // The empty text is stored, and reads like a missing value.
        reg->Push("LastExportDir", "");
        QCOMPARE(reg->Pop("LastExportDir"), AnsiString());
        registry::TRegistry r;
        QVERIFY(r.OpenKey("Software\\varnholt\\Flickstow", false));
        QVERIFY(r.ValueExists("LastExportDir"));
        // Another instance on the same key sees the last write.
        QCOMPARE(Store("Flickstow", "varnholt")->Pop("DefRating"), AnsiString("second"));
    }

    // What a push stores is what a pop reads, also once the settings come
    // back from the file: under any value name, and over a value of the same
    // text that had another type.
    void pushSurvivesRereading_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("wasNumber");
        QTest::newRow("double quote in the name") << QByteArray("Def\"Rating") << QByteArray("good") << false;
        QTest::newRow("name in double quotes") << QByteArray("\"Def\"") << QByteArray("\"x\"=y") << false;
        QTest::newRow("name of the file's own signs") << QByteArray("a=b]c%41[d") << QByteArray("1") << false;
        QTest::newRow("same text over a number") << QByteArray("DefGenre") << QByteArray("5") << true;
    }
    void pushSurvivesRereading() {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, text);
        QFETCH(bool, wasNumber);
        const AnsiString key = "Software\\varnholt\\Flickstow";
        if (wasNumber) {
            registry::TRegistry r;
            QVERIFY(r.OpenKey(key, true));
            r.WriteInteger(name.toStdString(), text.toInt());
        }
        TVReg* reg = Store("Flickstow", "varnholt");
        reg->Push(name.toStdString(), text.toStdString());
        QCOMPARE(reg->Pop(name.toStdString()), text.toStdString());
        registry::Flush();
        WriteFile(registry::HiveFilePath(), ReadFile(registry::HiveFilePath()));  // a new version on disk: read again
        QCOMPARE(reg->Pop(name.toStdString()), text.toStdString());
        registry::TRegistry r;
        QVERIFY(r.OpenKey(key, false));
        QVERIFY(r.GetDataType(name.toStdString()) == registry::ValueType::String);
    }

    void popOfMissingCreatesNothing() {
        TVReg* reg = Store("Flickstow", "varnholt");
        QCOMPARE(reg->Pop("DefGenre"), AnsiString());
        QVERIFY(!HiveExists());
        Store("Other", "varnholt")->Push("X", "1");
        QCOMPARE(reg->Pop("DefGenre"), AnsiString());
        registry::TRegistry r;
        QVERIFY(!r.KeyExists("Software\\varnholt\\Flickstow"));
        QVERIFY(r.KeyExists("Software\\varnholt"));
    }

    void wrongTypeAndFailedWrite() {
        {
            registry::TRegistry r;
            QVERIFY(r.OpenKey("Software\\varnholt\\Flickstow", true));
            r.WriteInteger("DefGenre", 5);
        }
        TVReg* reg = Store("Flickstow", "varnholt");
        try {
            reg->Pop("DefGenre");
            QFAIL("no error");
        } catch (const ERegistryException& e) {
            QCOMPARE(e.Message, AnsiString("Invalid data type for 'DefGenre'"));
        }
        // A configuration folder that cannot be written.
        QDir(QString::fromStdString(ConfigHome())).removeRecursively();
        WriteFile(ConfigHome(), "not a folder");
        try {
            reg->Push("DefDisks", "1");
            QFAIL("no error");
        } catch (const ERegistryException& e) {
            QCOMPARE(e.Message, AnsiString("Failed to set data for 'DefDisks'"));
        }
    }

    // Whatever the registry file holds, reading it never fails and the
    // values that do read stay available.
    void damagedHiveStillReads() {
        TVReg* reg = Store("Flickstow", "varnholt");
        reg->Push("DefType", "2");
        registry::Flush();
        AnsiString hive = ReadFile(registry::HiveFilePath());
        AnsiString noise;
        for (int i = 0; i < 4000; ++i) noise += static_cast<char>((i * 7919) % 256);
        WriteFile(registry::HiveFilePath(), noise + "\n" + hive + "\n[unterminated\n\"x\"=sz:\"\n");
        QCOMPARE(reg->Pop("DefType"), AnsiString("2"));
        reg->Push("DefType", "3");
        QCOMPARE(reg->Pop("DefType"), AnsiString("3"));
    }

    void appDirEndsInSeparator() {
        TVReg* reg = Store("Flickstow", "varnholt");
        QCOMPARE(reg->AppDir(), ProgramDir());
        AnsiString deep = "/" + AnsiString(300, 'd') + "/" + AnsiString(300, 'e') + "/flickstow";
        module::test::SetExecutablePath(deep);
        QCOMPARE(reg->AppDir(), deep.substr(0, deep.size() - 9));
        module::test::SetExecutablePath("flickstow");
        QCOMPARE(reg->AppDir(), AnsiString());
    }

    void isInt_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("result");
        QTest::newRow("7x") << "7x" << true;
        QTest::newRow("0") << "0" << true;
        QTest::newRow("9") << "9" << true;
        QTest::newRow("slash, before 0") << "/" << false;
        QTest::newRow("colon, after 9") << ":" << false;
        QTest::newRow("x7") << "x7" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("-1") << "-1" << false;
    }
    void isInt() {
        QFETCH(QString, text);
        QFETCH(bool, result);
        QCOMPARE(Store("a", "b")->IsInt(text.toStdString()), result);
    }

    void checkBox() {
        TVReg* reg = Store("Flickstow", "varnholt");
        QCheckBox box;
        box.setChecked(true);
        reg->PushCheckBox("C", &box);
        QCOMPARE(reg->Pop("C"), AnsiString("1"));
        QVERIFY(reg->PopCheckBox("C", false));
        box.setChecked(false);
        reg->PushCheckBox("C", &box);
        QCOMPARE(reg->Pop("C"), AnsiString("0"));
        QVERIFY(!reg->PopCheckBox("C", true));
        QVERIFY(!reg->PopCheckBox("missing", true));
    }

    void radioButtons_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("def");
        QTest::addColumn<int>("checked");  // 0: none
        QTest::newRow("2") << "2" << 1 << 2;
        QTest::newRow("4 too high") << "4" << 3 << 3;
        QTest::newRow("abc") << "abc" << 1 << 1;
        QTest::newRow("0") << "0" << 2 << 2;
        QTest::newRow("missing") << "<missing>" << 3 << 3;
        QTest::newRow("default 0") << "abc" << 0 << 0;
        QTest::newRow("default 4") << "" << 4 << 0;
        QTest::newRow("02") << "02" << 1 << 1;
    }
    void radioButtons() {
        QFETCH(QString, stored);
        QFETCH(int, def);
        QFETCH(int, checked);
        TVReg* reg = Store("Flickstow", "varnholt");
        if (stored != "<missing>") reg->Push("R", stored.toStdString());
        QWidget group;
        QRadioButton a(&group), b(&group), c(&group);
        reg->PopRadioButtons("R", &a, &b, &c, def);
        QCOMPARE(a.isChecked() ? 1 : b.isChecked() ? 2 : c.isChecked() ? 3 : 0, checked);
    }

    void tenButtonsAndHighestWins() {
        TVReg* reg = Store("Flickstow", "varnholt");
        QWidget group;
        QRadioButton b[10];
        for (auto& r : b) {
            r.setParent(&group);
            r.setAutoExclusive(false);
        }
        b[9].setChecked(true);
        reg->PushRadioButtons("R", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5], &b[6], &b[7], &b[8], &b[9]);
        QCOMPARE(reg->Pop("R"), AnsiString("10"));
        b[9].setChecked(false);
        reg->PopRadioButtons("R", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5], &b[6], &b[7], &b[8], &b[9], 1);
        QVERIFY(b[9].isChecked());
        QVERIFY(!b[0].isChecked());
        b[1].setChecked(true);
        reg->PushRadioButtons("R", &b[0], &b[1]);
        QCOMPARE(reg->Pop("R"), AnsiString("2"));
        b[1].setChecked(false);
        b[0].setChecked(false);
        reg->PushRadioButtons("R", &b[0], &b[1]);
        QCOMPARE(reg->Pop("R"), AnsiString("0"));
        // Two set: the later position is stored.
        b[0].setChecked(true);
        b[1].setChecked(true);
        reg->PushRadioButtons("R", &b[0], &b[1], &b[2]);
        QCOMPARE(reg->Pop("R"), AnsiString("2"));
    }

    void flags() {
        TVReg* reg = Store("Flickstow", "varnholt");
        bool f1 = false, f2 = true, f3 = true;
        reg->PushBool("F", &f1, &f2, &f3);
        QCOMPARE(reg->Pop("F"), AnsiString("3"));
        reg->Push("F", "1");
        reg->PopBool("F", &f1, &f2, &f3, 2);
        // Flag 1 set, the others left as they were.
        QVERIFY(f1 && f2 && f3);
        bool g1 = false, g2 = false;
        reg->PopBool("none", &g1, &g2, 2);
        QVERIFY(!g1 && g2);
    }

    void shellFolders() {
        TVReg* reg = Store("Flickstow", "varnholt");
        AnsiString home = qgetenv("HOME").toStdString();
        WriteFile(ConfigHome() + "/user-dirs.dirs",
                  "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente/\"\n");
        QCOMPARE(reg->GetDirDesktop(), home + "/Schreibtisch/");
        QCOMPARE(reg->GetDirPersonal(), home + "/Dokumente/");
        QCOMPARE(reg->GetDirAppData(), home + "/.local/share/");
        QCOMPARE(reg->GetShellFolder("Desktop"), reg->GetDirDesktop());
        // Folders this desktop has no place for are unknown: empty, no separator.
        QCOMPARE(reg->GetDirNetHood(), AnsiString());
        QCOMPARE(reg->GetDirQuickLaunch(), AnsiString());
        QCOMPARE(reg->GetShellFolder("No Such Folder"), AnsiString());
    }
};

FLICKSTOW_TEST_MAIN(TestVreg)
#include "test_Vreg.moc"
