#include "base/AtomicFile.h"
#include "base/SafeRead.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using AtomicFile::LinkPolicy;

namespace {
QString systemText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }
}  // namespace

// Whole-file writes against what may already sit at the path, under both link policies.
class TestAtomicFile : public QObject {
    Q_OBJECT
private slots:
    // A file the user names replaces only a regular file: a link would replace a file in another
    // folder, a FIFO or socket someone's endpoint. A state file follows a link to a regular file
    // and replaces any other link, never creating a file where a dangling link points.
    void whatIsReplaced_data()
    {
        QTest::addColumn<int>("policy");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");  // empty: written
        const int named = int(LinkPolicy::refuseLinks), state = int(LinkPolicy::followToRegularFile);
        const QString link = QStringLiteral("it is a symbolic link; choose another name");
        const QString folder = QStringLiteral("it is a folder");
        const char* kinds[] = {"file", "link to file", "link to FIFO", "dangling link", "fifo", "socket", "folder"};
        const QString namedReasons[] = {QString(), link, link, link, "it is a FIFO (named pipe); choose another name",
                                        "it is a socket; choose another name", folder};
        for (int i = 0; i < 7; ++i) {
            QTest::addRow("named: %s", kinds[i]) << named << kinds[i] << namedReasons[i];
            QTest::addRow("state: %s", kinds[i]) << state << kinds[i] << (i == 6 ? folder : QString());
        }
    }

    void whatIsReplaced()
    {
        QFETCH(int, policy);
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        const auto links = LinkPolicy(policy);
        QTemporaryDir dir, elsewhere;
        const QString path = dir.filePath("out"), theirs = elsewhere.filePath("theirs"), pipe = elsewhere.filePath("pipe");
        const QByteArray native = QFile::encodeName(path);
        QVERIFY(!AtomicFile::write(theirs, "theirs\n", links));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        int fd = -1;
        if (kind == "socket") {
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::strncpy(address.sun_path, native.constData(), sizeof address.sun_path - 1);
            fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            QVERIFY(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
        }
        QVERIFY(kind == "socket" || (kind == "file"            ? !AtomicFile::write(path, "old\n", links)
                                     : kind == "link to file"  ? QFile::link(theirs, path)
                                     : kind == "link to FIFO"  ? QFile::link(pipe, path)
                                     : kind == "dangling link" ? QFile::link(elsewhere.filePath("nothing"), path)
                                     : kind == "fifo"          ? ::mkfifo(native.constData(), 0600) == 0
                                                               : QDir().mkdir(path)));
        QVERIFY(kind != "file" || ::chmod(native.constData(), 0640) == 0);
        struct stat before {
        }, after{}, far{};
        QCOMPARE(::lstat(native.constData(), &before), 0);
        QCOMPARE(AtomicFile::write(path, "new\n", links).value_or(QString()), reason);
        QCOMPARE(::lstat(native.constData(), &after), 0);
        if (fd >= 0)
            ::close(fd);
        const bool through = reason.isEmpty() && kind == "link to file";
        if (reason.isEmpty() && kind != "file" && !through)
            QVERIFY(S_ISREG(after.st_mode));  // what was in the way, replaced
        else
            QCOMPARE(after.st_mode, before.st_mode);                   // the same kind, and a replaced file keeps its permissions
        const QByteArray read = SafeRead::readRegularFile(path).data;  // never opens a FIFO
        QCOMPARE(read, reason.isEmpty() ? QByteArray("new\n") : kind == "link to file" ? QByteArray("theirs\n")
                                                                                       : QByteArray());
        QCOMPARE(SafeRead::readRegularFile(theirs).data, through ? QByteArray("new\n") : QByteArray("theirs\n"));
        QVERIFY(::lstat(QFile::encodeName(pipe).constData(), &far) == 0 && S_ISFIFO(far.st_mode));
        QVERIFY(!QFileInfo::exists(elsewhere.filePath("nothing")));  // nothing created at the far end
        const auto all = QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot;
        QCOMPARE(QDir(dir.path()).entryList(all), QStringList{"out"});  // no temporary left
        QCOMPARE(QDir(elsewhere.path()).entryList(all), QStringList({"pipe", "theirs"}));
    }

    // A state file's folder is made; a named file's must exist.
    void missingFolder()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("made/out");
        QCOMPARE(AtomicFile::write(path, "new\n", LinkPolicy::refuseLinks), std::optional(systemText(ENOENT)));
        QVERIFY(!AtomicFile::write(path, "new\n", LinkPolicy::followToRegularFile));
        QCOMPARE(SafeRead::readRegularFile(path).data, QByteArray("new\n"));
    }

    void failedWriteLeavesOldFile()
    {
        for (LinkPolicy links : {LinkPolicy::refuseLinks, LinkPolicy::followToRegularFile}) {
            QTemporaryDir dir;
            const QString path = dir.filePath("old.csv");
            QVERIFY(!AtomicFile::write(path, "old contents\n", links));
            // A file size limit fails the write even for root, like a full disk.
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit saved{};
            getrlimit(RLIMIT_FSIZE, &saved);
            rlimit small = saved;
            small.rlim_cur = 4096;
            setrlimit(RLIMIT_FSIZE, &small);
            const auto failure = AtomicFile::write(path, QByteArray(64 * 1024, 'x'), links);
            setrlimit(RLIMIT_FSIZE, &saved);
            // The system's reason, as a full disk's would be.
            QCOMPARE(failure, std::optional(systemText(EFBIG)));
            QCOMPARE(SafeRead::readRegularFile(path).data, QByteArray("old contents\n"));
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"old.csv"}));  // no temporary left
        }
    }
};

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "test_atomic_file.moc"
