#pragma once

#include <QString>
#include <optional>

// kelvo-run --set-source-login: stores the source login in KELVO.INI of the program directory. The
// user name is userName, or asked for on the terminal; the password is read from the terminal without
// echo, or as the first line of standard input when that is no terminal, never from the command line.
// 0 when stored; 2, with the reason on stderr and the file as it was, when not.
int SetSourceLogin(const std::optional<QString>& userName);
