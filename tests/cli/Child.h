#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <functional>
#include <gtest/gtest.h>

// A program of the build run as a child process, as a scheduler runs it.
struct TChildResult {
    int Status = -1;
    QString Out;
    QString Err;
};

inline TChildResult RunChild(const QString& program, const QStringList& args,
                             const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
                             const std::function<void(QProcess&)>& whileRunning = {}) {
    QProcess child;
    child.setProcessEnvironment(env);
    child.start(program, args);
    EXPECT_TRUE(child.waitForStarted(10000)) << program.toStdString();
    if (whileRunning)
        whileRunning(child);
    EXPECT_TRUE(child.waitForFinished(120000))
        << program.toStdString() << " " << args.join(' ').toStdString();
    TChildResult result;
    result.Status = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
    result.Out = QString::fromUtf8(child.readAllStandardOutput());
    result.Err = QString::fromUtf8(child.readAllStandardError());
    return result;
}

inline QString KelvoRunExe() {
    return QStringLiteral(KELVO_RUN_EXE);
}

inline QString KelvoTransferExe() {
    return QStringLiteral(KELVO_TRANSFER_EXE);
}
