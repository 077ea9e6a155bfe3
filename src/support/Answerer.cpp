#include "support/Answerer.h"

#include "platform/Errors.h"
#include "platform/PathWatch.h"

namespace {

TAnswerer* installed = nullptr;

// Every question runs others' code (a dialog and its event loop, a program the file opens in), which may
// change any path: the checks after it ask the kernel again. Opened here, once, so no caller can forget.
class TQuestionScope final : public TAnswerer {
public:
    int MessageDialog(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext, int x,
                      int y) override {
        const TOthersCodeScope others;
        return installed->MessageDialog(text, type, buttons, helpContext, x, y);
    }
    void PlainMessage(const QString& text) override {
        const TOthersCodeScope others;
        installed->PlainMessage(text);
    }
    bool InputText(const QString& caption, const QString& prompt, QString& value) override {
        const TOthersCodeScope others;
        return installed->InputText(caption, prompt, value);
    }
    bool SaveFileName(const TSaveDialogRequest& request, QString& path) override {
        const TOthersCodeScope others;
        return installed->SaveFileName(request, path);
    }
    bool Login(const QString& dataSource, QString& userName, QString& password) override {
        const TOthersCodeScope others;
        return installed->Login(dataSource, userName, password);
    }
    bool ShellOpen(const QString& path) override {
        const TOthersCodeScope others;
        return installed->ShellOpen(path);
    }
};

} // namespace

TAnswerer& Answerer() {
    if (!installed)
        throw EKelvoError("No answerer is installed to ask the operator.");
    static TQuestionScope scoped;
    return scoped;
}

TAnswerer* SetAnswerer(TAnswerer* answerer) {
    TAnswerer* previous = installed;
    installed = answerer;
    return previous;
}
