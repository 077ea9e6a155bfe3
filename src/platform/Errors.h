#pragma once

#include <QString>
#include <exception>
#include <string>

// The system's base exception: a message text and a help context. Every failure the operator may
// see is raised as one of these (or a subclass) and shown by the general error handler.
class EKelvoError : public std::exception {
public:
    explicit EKelvoError(QString message, int helpContext = 0)
        : message_(std::move(message)), helpContext_(helpContext), utf8_(message_.toStdString()) {}
    const QString& Message() const { return message_; }
    int HelpContext() const { return helpContext_; }
    const char* what() const noexcept override { return utf8_.c_str(); }

private:
    QString message_;
    int helpContext_;
    std::string utf8_;
};

// A file that could not be written whole; what was written of it has been cut back.
class EWriteError : public EKelvoError {
public:
    using EKelvoError::EKelvoError;
};
