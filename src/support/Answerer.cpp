#include "support/Answerer.h"

#include "platform/Errors.h"

namespace {
TAnswerer* installed = nullptr;
}

TAnswerer& Answerer() {
    if (!installed)
        throw EKelvoError("No answerer is installed to ask the operator.");
    return *installed;
}

TAnswerer* SetAnswerer(TAnswerer* answerer) {
    TAnswerer* previous = installed;
    installed = answerer;
    return previous;
}
