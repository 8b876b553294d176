// The command line's output streams, and the parsing every command shares.

#include "cli/Commands.h"

#include <QCommandLineParser>
#include <QIODevice>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool stdoutWasClosed = false;

// Standard output through write(2), keeping the first error: QTextStream over
// a FILE* loses errno, and a failed write must fail the command.
class StdoutDevice final : public QIODevice {
public:
    StdoutDevice() { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }
    int error() const { return m_error; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        if (m_error)
            return -1;
        if (stdoutWasClosed) {
            m_error = EBADF;
            return -1;
        }
        qint64 done = 0;
        while (done < size) {
            const ssize_t n = ::write(STDOUT_FILENO, data + done, size_t(size - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                m_error = n < 0 ? errno : EIO;
                return -1;
            }
            done += n;
        }
        return done;
    }

private:
    int m_error = 0;
};

StdoutDevice& stdoutDevice()
{
    static StdoutDevice device;
    return device;
}

}  // namespace

QTextStream& out()
{
    static QTextStream s(&stdoutDevice());
    return s;
}

QTextStream& err()
{
    static QTextStream s(stderr);
    return s;
}

void guardStandardDescriptors()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        if (fd == STDOUT_FILENO)
            stdoutWasClosed = true;
        const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
}

std::optional<QString> finishOutput()
{
    out().flush();
    if (const int e = stdoutDevice().error())
        return QString::fromLocal8Bit(std::strerror(e));
    if (out().status() == QTextStream::WriteFailed)
        return QString::fromLocal8Bit(std::strerror(EIO));
    return std::nullopt;
}

std::optional<int> parseCommand(QCommandLineParser& parser, const QString& command, const QStringList& args)
{
    if (!parser.parse(QStringList{QStringLiteral("vellacord-cli ") + command} + args)) {
        err() << parser.errorText() << "\n"
              << parser.helpText();
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        out() << parser.helpText();
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        err() << "vellacord-cli " << command << ": unexpected argument '" << parser.positionalArguments().first() << "'\n";
        return 2;
    }
    return std::nullopt;
}
