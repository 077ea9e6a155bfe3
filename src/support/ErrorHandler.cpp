#include "support/ErrorHandler.h"

#include "platform/Errors.h"
#include "support/EnDial3.h"

QString ErrorMessage(const std::exception& error) {
    if (auto* kelvo = dynamic_cast<const EKelvoError*>(&error))
        return kelvo->Message();
    return QString::fromUtf8(error.what());
}

void HandleException(const std::exception& error) {
    ShowMessage(ErrorMessage(error));
}

bool RunGuarded(const std::function<void()>& action) {
    try {
        action();
        return true;
    } catch (const std::exception& error) {
        HandleException(error);
        return false;
    }
}
