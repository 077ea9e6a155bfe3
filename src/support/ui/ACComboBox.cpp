#include "support/ui/ACComboBox.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <utility>

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
    static const std::pair<int, int> codes[] = {
        {Qt::Key_Backspace, 8}, {Qt::Key_Tab, 9},    {Qt::Key_Backtab, 9}, {Qt::Key_Clear, 12},
        {Qt::Key_Return, 13},   {Qt::Key_Enter, 13}, {Qt::Key_Shift, 16},  {Qt::Key_Control, 17},
        {Qt::Key_Alt, 18},      {Qt::Key_AltGr, 18}, {Qt::Key_Pause, 19},  {Qt::Key_CapsLock, 20},
        {Qt::Key_Escape, 27},   {Qt::Key_Space, 32}, {Qt::Key_PageUp, 33}, {Qt::Key_PageDown, 34},
        {Qt::Key_End, 35},      {Qt::Key_Home, 36},  {Qt::Key_Left, 37},   {Qt::Key_Up, 38},
        {Qt::Key_Right, 39},    {Qt::Key_Down, 40},  {Qt::Key_Select, 41}, {Qt::Key_Printer, 42},
        {Qt::Key_Execute, 43},  {Qt::Key_Print, 44}, {Qt::Key_Insert, 45}, {Qt::Key_Delete, 46},
        {Qt::Key_Help, 47}};
    for (const auto& [key, code] : codes)
        if (key == qtKey)
            return code;
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
    QLineEdit* edit = lineEdit();
    if (!edit)
        return;
    // Qt gives every editable combo box a completer of its own, which would complete before us.
    if (edit->completer())
        setCompleter(nullptr);
    edit->removeEventFilter(this);
    edit->installEventFilter(this);
}

void TACComboBox::keyReleaseEvent(QKeyEvent* event) {
    QComboBox::keyReleaseEvent(event);
    KeyUp(VirtualKeyCode(event->key()), event->modifiers());
}

bool TACComboBox::eventFilter(QObject* watched, QEvent* event) {
    // Keys typed into the combo box reach keyReleaseEvent through the focus proxy; a release sent to
    // the field itself stops there, so it is completed here, after the field has handled it.
    if (watched == lineEdit() && event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        lineEdit()->event(key);
        KeyUp(VirtualKeyCode(key->key()), key->modifiers());
        return true;
    }
    return QComboBox::eventFilter(watched, event);
}

void TACComboBox::KeyUp(int key, Qt::KeyboardModifiers shift) {
    if (!autoComplete_ || key < kFirstCompletingKey || (shift & (Qt::ControlModifier | Qt::AltModifier)))
        return;
    QLineEdit* edit = lineEdit();
    if (!isEditable() || !edit)
        return;
    // With no items the take-back would refuse every keystroke: such a field only takes typing.
    const QString typed = edit->text();
    if (typed.isEmpty() || count() == 0)
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
