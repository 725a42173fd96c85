#include "platform/errors/Exception.h"
#include "platform/files/files.h"
#include "platform/profile/profile.h"
#include "platform/registry/registry.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <filesystem>

using namespace testsupport;

class TestProfile : public QObject {
    Q_OBJECT

    static AnsiString Path() { return profile::ProfileFilePath(); }
    static void Put(const AnsiString& text) {
        std::filesystem::create_directories(std::filesystem::path(Path()).parent_path());
        WriteFile(Path(), text);
    }

private slots:
    void init() { FreshSandbox(); }

    void fileLiesBesideTheRegistry() {
        QCOMPARE(std::filesystem::path(Path()).parent_path(),
                 std::filesystem::path(registry::HiveFilePath()).parent_path());
        QCOMPARE(std::filesystem::path(Path()).filename().string(), std::string("win.ini"));
        QVERIFY(Path().rfind(ConfigHome(), 0) == 0);
    }

    void missingFileReadsAsFallback() {
        QCOMPARE(profile::GetProfileString("TWAIN", "DEFAULT SOURCE", "none"), AnsiString("none"));
        QVERIFY(!profile::FindProfileString("TWAIN", "DEFAULT SOURCE"));
        QVERIFY(!files::FileExists(Path()));
        // Deleting from no file makes none.
        profile::DeleteProfileKey("TWAIN", "DEFAULT SOURCE");
        QVERIFY(!files::FileExists(Path()));
    }

    void read_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("expected");  // "<none>": absent
        QTest::newRow("plain") << QByteArray("[TWAIN]\r\nDEFAULT SOURCE=test:0\r\n") << QByteArray("test:0");
        QTest::newRow("any case, blanks around")
            << QByteArray("[ twain ]\r\n  default source =  test:1  \r\n") << QByteArray("test:1");
        QTest::newRow("LF only, no final line end") << QByteArray("[TWAIN]\nDEFAULT SOURCE=x") << QByteArray("x");
        QTest::newRow("other section") << QByteArray("[Other]\r\nDEFAULT SOURCE=x\r\n[TWAIN]\r\nA=1\r\n")
                                       << QByteArray("<none>");
        QTest::newRow("key before any section")
            << QByteArray("DEFAULT SOURCE=x\r\n[TWAIN]\r\n") << QByteArray("<none>");
        QTest::newRow("empty value is present") << QByteArray("[TWAIN]\r\nDEFAULT SOURCE=\r\n") << QByteArray("");
        QTest::newRow("first of two") << QByteArray("[TWAIN]\r\nDEFAULT SOURCE=a\r\nDEFAULT SOURCE=b\r\n")
                                      << QByteArray("a");
        QTest::newRow("value with =") << QByteArray("[TWAIN]\r\nDEFAULT SOURCE=net:host=1\r\n")
                                      << QByteArray("net:host=1");
    }
    void read() {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, expected);
        Put(text.toStdString());
        std::optional<AnsiString> found = profile::FindProfileString("TWAIN", "DEFAULT SOURCE");
        if (expected == "<none>") {
            QVERIFY(!found);
            QCOMPARE(profile::GetProfileString("TWAIN", "DEFAULT SOURCE", "fb"), AnsiString("fb"));
        } else {
            QVERIFY(found);
            QCOMPARE(*found, expected.toStdString());
        }
    }

    // A change rewrites only what it must; every other byte stays.
    void change_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<bool>("remove");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("new file") << QByteArray() << false << QByteArray("[TWAIN]\r\nDEFAULT SOURCE=v\r\n");
        QTest::newRow("replace, neighbours kept")
            << QByteArray("; comment\r\n[TWAIN]\r\nA=1\r\ndefault source=old\r\nB=2\r\n") << false
            << QByteArray("; comment\r\n[TWAIN]\r\nA=1\r\nDEFAULT SOURCE=v\r\nB=2\r\n");
        QTest::newRow("added at the end of its section")
            << QByteArray("[TWAIN]\r\nA=1\r\n[Other]\r\nX=2\r\n") << false
            << QByteArray("[TWAIN]\r\nA=1\r\nDEFAULT SOURCE=v\r\n[Other]\r\nX=2\r\n");
        QTest::newRow("empty section") << QByteArray("[TWAIN]\r\n[Other]\r\n") << false
                                       << QByteArray("[TWAIN]\r\nDEFAULT SOURCE=v\r\n[Other]\r\n");
        QTest::newRow("new section after unterminated line")
            << QByteArray("[Other]\r\nDEFAULT SOURCE=x") << false
            << QByteArray("[Other]\r\nDEFAULT SOURCE=x\r\n[TWAIN]\r\nDEFAULT SOURCE=v\r\n");
        QTest::newRow("section's last line unterminated")
            << QByteArray("[TWAIN]\r\nA=1") << false << QByteArray("[TWAIN]\r\nA=1\r\nDEFAULT SOURCE=v\r\n");
        QTest::newRow("remove") << QByteArray("[TWAIN]\r\nA=1\r\nDEFAULT SOURCE=old\r\nB=2\r\n") << true
                                << QByteArray("[TWAIN]\r\nA=1\r\nB=2\r\n");
        QTest::newRow("remove leaves other sections")
            << QByteArray("[Other]\r\nDEFAULT SOURCE=x\r\n[TWAIN]\r\nDEFAULT SOURCE=y") << true
            << QByteArray("[Other]\r\nDEFAULT SOURCE=x\r\n[TWAIN]\r\n");
    }
    void change() {
        QFETCH(QByteArray, before);
        QFETCH(bool, remove);
        QFETCH(QByteArray, after);
        if (!before.isEmpty()) Put(before.toStdString());
        if (remove) profile::DeleteProfileKey("TWAIN", "DEFAULT SOURCE");
        else
            profile::WriteProfileString("TWAIN", "DEFAULT SOURCE", "v");
        QCOMPARE(QByteArray::fromStdString(ReadFile(Path())), after);
    }

    void failedWriteRaisesAndKeepsTheFile() {
        Put("[TWAIN]\r\nDEFAULT SOURCE=old\r\n");
        files::test::FailNextWriteAfter(3);
        QVERIFY_THROWS_EXCEPTION(EFCreateError, profile::WriteProfileString("TWAIN", "DEFAULT SOURCE", "new"));
        QCOMPARE(ReadFile(Path()), AnsiString("[TWAIN]\r\nDEFAULT SOURCE=old\r\n"));
        // No temporary file is left behind.
        QCOMPARE(QDir(QString::fromStdString(std::filesystem::path(Path()).parent_path().string()))
                     .entryList(QDir::Files)
                     .size(),
                 1);
    }
};

FLICKSTOW_TEST_MAIN(TestProfile)
#include "test_profile.moc"
