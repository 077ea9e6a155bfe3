#pragma once

#include <QString>
#include <functional>

// The message text of an error: the system's own text, or what a library error says.
QString ErrorMessage(const std::exception& error);

// The application's general error handler: an error that no caller catches is shown to the operator in
// a plain message box and the action stops there; nothing already written is undone.
void HandleException(const std::exception& error);
// Runs an action of the operator's, handing any error it raises to the general error handler.
// Returns false when the action raised.
bool RunGuarded(const std::function<void()>& action);
