#include "platform/module/Library.h"
#include "platform/module/module.h"

#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

// The program folder follows the name the program was started by: through a
// link (each user's ~/Flickstow/flickstow) it is the link's folder; from the
// file itself, or under a name that is not the program, the executable's.
class TestModule : public QObject {
    Q_OBJECT
private slots:
    void startedThroughLink_data() {
        QTest::addColumn<QString>("execFn");
        QTest::addColumn<QString>("argv0");
        QTest::addColumn<QString>("cwd");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        // Paths are below the test's folder; "-" is the working folder left empty.
        // clang-format off
        QTest::newRow("the file itself") << "/lib/flickstow/flickstow" << "flickstow" << "/" << "/bin" << "";
        QTest::newRow("a link, absolute") << "/home/Flickstow/flickstow" << "x" << "/" << "" << "/home/Flickstow/flickstow";
        QTest::newRow("a link, relative, tidied") << ".//Flickstow/./flickstow" << "x" << "/home" << ""
                                                  << "/home/Flickstow/flickstow";
        QTest::newRow("a link's parent reached through ..") << "../home/Flickstow/flickstow" << "" << "/bin" << ""
                                                            << "/bin/../home/Flickstow/flickstow";
        QTest::newRow("a link to a link") << "/home/again" << "" << "/" << "" << "/home/again";
        QTest::newRow("the file itself, argv0 a link") << "/lib/flickstow/flickstow" << "/home/Flickstow/flickstow"
                                                       << "/" << "" << "";
        QTest::newRow("argv0 on PATH") << "" << "fs" << "/" << "/nothing:/lib:/bin" << "/bin/fs";
        QTest::newRow("argv0 on PATH's empty entry") << "" << "fs" << "/bin" << "/nothing::/lib" << "/bin/fs";
        QTest::newRow("argv0 on a relative PATH entry") << "" << "fs" << "/" << "bin" << "/bin/fs";
        QTest::newRow("argv0 relative") << "" << "Flickstow/flickstow" << "/home" << "/bin"
                                        << "/home/Flickstow/flickstow";
        QTest::newRow("kernel names another file") << "/usr/loader" << "/home/Flickstow/flickstow" << "/" << ""
                                                   << "/home/Flickstow/flickstow";
        QTest::newRow("a link to another program") << "/home/other-link" << "/home/other-link" << "/" << "" << "";
        QTest::newRow("no such file") << "/home/gone" << "gone" << "/home" << "/home" << "";
        QTest::newRow("a login shell's name") << "" << "-flickstow" << "/bin" << "/bin" << "";
        QTest::newRow("relative, no working folder") << "Flickstow/flickstow" << "Flickstow/flickstow" << "-" << ""
                                                     << "";
        // clang-format on
    }
    void startedThroughLink() {
        QFETCH(QString, execFn);
        QFETCH(QString, argv0);
        QFETCH(QString, cwd);
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const std::string root = dir.path().toStdString();
        fs::create_directories(root + "/lib/flickstow");
        fs::create_directories(root + "/home/Flickstow");
        fs::create_directories(root + "/bin");
        fs::create_directories(root + "/usr");
        for (const char* file : {"/lib/flickstow/flickstow", "/other", "/usr/loader"}) {
            std::ofstream(root + file) << file;
            fs::permissions(root + file, fs::perms::owner_all);
        }
        fs::create_symlink(root + "/lib/flickstow/flickstow", root + "/home/Flickstow/flickstow");
        fs::create_symlink("../lib/flickstow/flickstow", root + "/bin/fs");
        fs::create_symlink("Flickstow/flickstow", root + "/home/again");
        fs::create_symlink(root + "/other", root + "/home/other-link");

        auto below = [&](const QString& p) { return p.startsWith('/') ? root + p.toStdString() : p.toStdString(); };
        QStringList entries = path.split(':');
        for (QString& e : entries) e = QString::fromStdString(below(e));
        module::StartFacts facts{below(execFn), below(argv0), cwd == "-" ? std::string() : below(cwd),
                                 entries.join(':').toStdString(), root + "/lib/flickstow/flickstow"};
        QCOMPARE(QString::fromStdString(module::StartedThroughLink(facts)),
                 expected.isEmpty() ? QString() : QString::fromStdString(root) + expected);
    }

    // A library opened when a feature first needs it: its functions once it
    // is there; when it or a function is missing, a message that names the
    // feature and what is missing.
    void libraryOpenedWhenNeeded() {
        QVERIFY(!module::IsMapped("libpthread-does-not-exist.so.0"));
        module::Library libc("libc.so.6", "Testing");
        QVERIFY(module::IsMapped("libc.so.6"));
        auto length = FLICKSTOW_FUNCTION(libc, strlen);
        QCOMPARE(length("films"), size_t(5));
        try {
            libc.Symbol("no_such_function_in_libc");
            QFAIL("a missing function was found");
        } catch (const module::ELibraryError& e) {
            QCOMPARE(QString::fromStdString(e.Message),
                     "Testing needs the function no_such_function_in_libc of the library libc.so.6, which it lacks");
        }
        try {
            module::Library missing("libflickstow-missing.so.3", "Printing");
            QFAIL("a missing library was opened");
        } catch (const module::ELibraryError& e) {
            QVERIFY2(QString::fromStdString(e.Message).startsWith(
                         "Printing needs the library libflickstow-missing.so.3, which cannot be loaded ("),
                     e.what());
        }
    }
};

QTEST_GUILESS_MAIN(TestModule)
#include "test_module.moc"
