#include "cli/SourceLogin.h"

#include <csignal>
#include <cstdio>
#include <iterator>
#include <string>
#include <termios.h>
#include <unistd.h>

#include "cli/ConsoleView.h"
#include "support/DBgesloKELVO.h"
#include "support/ErrorHandler.h"

namespace {

// One line of standard input without its line end; false when the input ended before any character.
bool ReadLine(QString& line) {
    std::string bytes;
    bool any = false;
    for (int c; (c = std::getc(stdin)) != EOF;) {
        any = true;
        if (c == '\n')
            break;
        bytes += char(c);
    }
    if (!bytes.empty() && bytes.back() == '\r')
        bytes.pop_back();
    line = QString::fromUtf8(bytes);
    return any;
}

volatile std::sig_atomic_t promptSignal = 0;

extern "C" void OnPromptSignal(int signal) {
    promptSignal = signal;
}

// A signal while the password is typed must not leave the terminal without its echo: it ends the reading,
// the terminal is restored, and then the signal takes its usual effect.
bool ReadWithoutEcho(QString& line) {
    constexpr int held[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
    promptSignal = 0; // one that was ignored at an earlier prompt does not end this one
    struct sigaction action = {}, saved[std::size(held)] = {};
    action.sa_handler = OnPromptSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no restart: the read returns at once
    for (size_t i = 0; i < std::size(held); ++i)
        sigaction(held[i], &action, &saved[i]);
    termios terminal{};
    const bool tty = tcgetattr(STDIN_FILENO, &terminal) == 0;
    if (tty) {
        termios quiet = terminal;
        quiet.c_lflag &= tcflag_t(~ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    const bool read = promptSignal == 0 && ReadLine(line);
    if (tty)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &terminal);
    std::fputs("\n", stderr); // the Enter the terminal did not echo
    for (size_t i = 0; i < std::size(held); ++i)
        sigaction(held[i], &saved[i], nullptr);
    if (promptSignal != 0)
        std::raise(promptSignal);
    return read && promptSignal == 0;
}

int Refuse(const QString& text) {
    ConsoleLine(text + " Nothing was stored.");
    return 2;
}

} // namespace

int SetSourceLogin(const std::optional<QString>& userName) {
    const bool terminal = isatty(STDIN_FILENO);
    QString user;
    if (userName) {
        user = *userName;
    } else if (!terminal) {
        return Refuse(
            "Give the user name after --set-source-login: standard input is no terminal to ask on.");
    } else {
        std::fputs("Source user name: ", stderr);
        if (!ReadLine(user))
            return Refuse("No user name was entered.");
    }
    QString password;
    if (terminal)
        std::fputs("Source password: ", stderr);
    if (!(terminal ? ReadWithoutEcho(password) : ReadLine(password)))
        return Refuse("No password: standard input ended before its first line.");
    try {
        const QString path = WriteSourceLogin(user, password);
        std::printf(
            "%s\n",
            QString("The source login of user \"%1\" is stored in %2.").arg(user, path).toUtf8().constData());
    } catch (const std::exception& error) {
        return Refuse(ErrorMessage(error));
    }
    return 0;
}
