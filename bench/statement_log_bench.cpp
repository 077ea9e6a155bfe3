// Cost of the statement logs per INSERT: "Query.log" replaced and "Modify.log" appended, as
// LogStatement does it, against opening and closing both files for every statement.

#include <QFile>
#include <QStringList>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

#include "fixtures/TestEnv.h"
#include "query/SqlLog.h"

namespace {

using TClock = std::chrono::steady_clock;

double MicrosecondsPer(int count, TClock::time_point start) {
    return std::chrono::duration<double, std::micro>(TClock::now() - start).count() / count;
}

void OpenCloseWrite(const QByteArray& path, const QByteArray& data, int flags) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | flags, 0666);
    if (fd < 0 || ::write(fd, data.constData(), size_t(data.size())) != data.size() || ::close(fd) != 0)
        std::perror(path.constData());
}

} // namespace

int main() {
    TTempProgramDir dir;
    const QStringList statement{"Insert into PARTNER ", "   (ID, NAME, CITY, RATE, CREATED)", "values ",
                                "(1234, 'Kovač d.o.o.', 'Ljubljana', 2.5000, '2024-03-01') "};
    constexpr int count = 20000;

    LogStatement(statement, true);
    // Creating Log/ changed the program directory; Login.ini is looked for anew until its time
    // stamps are old enough to be trusted.
    std::this_thread::sleep_for(std::chrono::seconds(3));

    auto start = TClock::now();
    for (int i = 0; i < count; ++i)
        LogStatement(statement, true);
    const double kept = MicrosecondsPer(count, start);

    QByteArray data;
    for (const QString& line : statement)
        data += line.toUtf8() + "\r\n";
    const QByteArray query = QFile::encodeName(dir.FilePath("Log/Query.log"));
    const QByteArray modify = QFile::encodeName(dir.FilePath("Log/Modify.log"));
    start = TClock::now();
    for (int i = 0; i < count; ++i) {
        OpenCloseWrite(query, data, O_TRUNC);
        OpenCloseWrite(modify, data + ";\r\n\r\n", O_APPEND);
    }
    const double openClose = MicrosecondsPer(count, start);

    std::printf("statement logs, Query.log replace + Modify.log append, %d statements:\n", count);
    std::printf("  LogStatement:                     %8.2f us per statement\n", kept);
    std::printf("  open/truncate/close per write:    %8.2f us per statement\n", openClose);
    CloseStatementLogs();
    return 0;
}
