#include "support/ui/ACComboBox.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>

namespace {

// The first key code that completes: everything up to Delete (46) edits, moves or modifies.
constexpr int kFirstCompletingKey = 47;

QString AsciiUpper(const QString& text) {
    QString upper = text;
    for (QChar& c : upper)
        if (c >= 'a' && c <= 'z')
            c = QChar(c.unicode() - 'a' + 'A');
    return upper;
}

} // namespace

int VirtualKeyCode(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 9;
    case Qt::Key_Clear:
        return 12;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Shift:
        return 16;
    case Qt::Key_Control:
        return 17;
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
        return 18;
    case Qt::Key_Pause:
        return 19;
    case Qt::Key_CapsLock:
        return 20;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Space:
        return 32;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_End:
        return 35;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Up:
        return 38;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_Down:
        return 40;
    case Qt::Key_Select:
        return 41;
    case Qt::Key_Printer:
        return 42;
    case Qt::Key_Execute:
        return 43;
    case Qt::Key_Print:
        return 44;
    case Qt::Key_Insert:
        return 45;
    case Qt::Key_Delete:
        return 46;
    case Qt::Key_Help:
        return 47;
    default:
        break;
    }
    if ((qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) || (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z))
        return qtKey;
    // Punctuation shares its Qt code with ASCII (a '-' is 45, like Insert), but on Windows it sits on
    // the OEM keys from 186 up; any other key is above Delete as well.
    return 0xBA;
}

TACComboBox::TACComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    DropQtCompleter();
}

void TACComboBox::DropQtCompleter() {
    // Qt gives every editable combo box a completer of its own, which would complete before us.
    if (lineEdit() && lineEdit()->completer())
        setCompleter(nullptr);
}

void TACComboBox::keyReleaseEvent(QKeyEvent* event) {
    QComboBox::keyReleaseEvent(event);
    KeyUp(VirtualKeyCode(event->key()), event->modifiers());
}

void TACComboBox::KeyUp(int key, Qt::KeyboardModifiers shift) {
    if (!autoComplete_ || key < kFirstCompletingKey || (shift & (Qt::ControlModifier | Qt::AltModifier)))
        return;
    QLineEdit* edit = lineEdit();
    if (!isEditable() || !edit)
        return;
    const QString typed = edit->text();
    if (typed.isEmpty())
        return;
    const qsizetype length = typed.size();
    const QLocale locale;
    const QString typedUpper = locale.toUpper(typed);
    for (int i = 0; i < count(); ++i) {
        const QString item = itemText(i);
        if (locale.toUpper(item.left(length)) != typedUpper)
            continue;
        setCurrentIndex(i);
        // The index may have been current already, in which case Qt leaves the typed text.
        if (edit->text() != item)
            edit->setText(item);
        edit->setSelection(int(length), int(item.size() - length));
        if (selectOnFound_ && AsciiUpper(typed) == AsciiUpper(item))
            edit->selectAll();
        if (OnMatch)
            OnMatch(this);
        return;
    }
    if (exactMatch_) {
        edit->setText(typed.left(length - 1));
        edit->setSelection(int(length - 1), 0);
    }
}

void TACComboBox::focusInEvent(QFocusEvent* event) {
    // Switching the style back to editable brings Qt's completer back.
    DropQtCompleter();
    QComboBox::focusInEvent(event);
}

void TACComboBox::focusOutEvent(QFocusEvent* event) {
    QComboBox::focusOutEvent(event);
    // Another window coming up or the list dropping down is no exit from the control.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        DoExit();
}

void TACComboBox::DoExit() {
    if (lineEdit())
        lineEdit()->setSelection(0, 0);
}
