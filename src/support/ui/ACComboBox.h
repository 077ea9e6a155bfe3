#pragma once

#include <QComboBox>
#include <functional>

class TACComboBox;
using TACComboBoxEvent = std::function<void(TACComboBox* sender)>;

// The Windows virtual-key code of a Qt key, as far as completion tells keys apart: editing, paging and
// modifier keys keep their codes below 47, letters and digits their ASCII codes, every other character
// key a code of 47 or above.
int VirtualKeyCode(int qtKey);

// An editable combo box that completes the typed text from its own items on each key release: the
// first item starting with the text (without regard to case) takes the field, its untyped tail
// selected, so the next keystroke overwrites the completion. Only the editable (drop-down) style
// completes; Qt's own completer is switched off and typed text never becomes an item.
class TACComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TACComboBox(QWidget* parent = nullptr);

    bool AutoComplete() const { return autoComplete_; }
    void SetAutoComplete(bool value) { autoComplete_ = value; }
    // A text equal to a whole item selects the whole text.
    bool SelectOnFound() const { return selectOnFound_; }
    void SetSelectOnFound(bool value) { selectOnFound_ = value; }
    // A keystroke that leaves the text matching no item is taken back.
    bool ExactMatch() const { return exactMatch_; }
    void SetExactMatch(bool value) { exactMatch_ = value; }

    // Raised after each completion.
    TACComboBoxEvent OnMatch;

    // The completion step of a key release; key is a virtual-key code.
    void KeyUp(int key, Qt::KeyboardModifiers shift);
    // Leaves no completed tail selected.
    void DoExit();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void DropQtCompleter();

    bool autoComplete_ = true;
    bool selectOnFound_ = true;
    bool exactMatch_ = true;
};
