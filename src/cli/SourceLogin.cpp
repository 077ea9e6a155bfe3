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

// What a signal at the password prompt restores before it takes its usual effect, set before the
// handler is installed.
constexpr int HeldSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
struct sigaction promptSaved[std::size(HeldSignals)] = {};
termios promptTerminal{};
bool promptTty = false;
volatile std::sig_atomic_t promptSignal = 0;

// The terminal gets its echo back in the handler itself: a signal that came just before the reading
// began would otherwise be taken while the reading still waits. Only async-signal-safe calls.
extern "C" void OnPromptSignal(int signal) {
    if (promptTty)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &promptTerminal);
    (void)!write(STDERR_FILENO, "\n", 1); // the Enter the terminal did not echo
    for (size_t i = 0; i < std::size(HeldSignals); ++i)
        if (HeldSignals[i] == signal)
            sigaction(signal, &promptSaved[i], nullptr);
    promptSignal = signal;
    raise(signal); // taken, as it would have been, once this handler returns
}

// A signal while the password is typed must not leave the terminal without its echo: the terminal is
// restored, and then the signal takes its usual effect.
bool ReadWithoutEcho(QString& line) {
    promptSignal = 0; // one that was ignored at an earlier prompt does not end this one
    promptTty = tcgetattr(STDIN_FILENO, &promptTerminal) == 0;
    struct sigaction action = {};
    action.sa_handler = OnPromptSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no restart: a signal whose effect is to go on ends the reading
    for (size_t i = 0; i < std::size(HeldSignals); ++i)
        sigaction(HeldSignals[i], &action, &promptSaved[i]);
    if (promptTty) {
        termios quiet = promptTerminal;
        quiet.c_lflag &= tcflag_t(~ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    const bool read = promptSignal == 0 && ReadLine(line);
    // The terminal first: a signal between the two steps still finds the handler.
    if (promptTty)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &promptTerminal);
    for (size_t i = 0; i < std::size(HeldSignals); ++i)
        sigaction(HeldSignals[i], &promptSaved[i], nullptr);
    if (promptSignal != 0)
        return false; // ignored where the program was started; the handler ended the line
    std::fputs("\n", stderr); // the Enter the terminal did not echo
    return read;
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
