#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <memory>

#include "fixtures/DialogDriver.h"
#include "support/ui/ACComboBox.h"

namespace {

// A shown window with one combo box and a plain field to move the focus to.
class ACCombo : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        combo = new TACComboBox;
        other = new QLineEdit;
        layout->addWidget(combo);
        layout->addWidget(other);
        combo->addItems({"AB", "ABC"});
        combo->setCurrentIndex(-1); // Qt makes the first item current, which a typed field must not be
        combo->OnMatch = [this](TACComboBox* sender) {
            EXPECT_EQ(sender, combo);
            ++matches;
        };
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        combo->setFocus(Qt::OtherFocusReason);
    }
    QLineEdit* Edit() const { return combo->lineEdit(); }
    void Type(const QString& keys) { QTest::keyClicks(Edit(), keys); }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(Edit(), key, modifiers);
    }
    void Start(const QString& text) {
        combo->setEditText(text);
        Edit()->setCursorPosition(int(text.size()));
    }

    std::unique_ptr<QWidget> window;
    TACComboBox* combo = nullptr;
    QLineEdit* other = nullptr;
    int matches = 0;
};

TEST_F(ACCombo, StartsEditableWithoutQtCompletionOrInsertion) {
    EXPECT_TRUE(combo->AutoComplete());
    EXPECT_TRUE(combo->SelectOnFound());
    EXPECT_TRUE(combo->ExactMatch());
    EXPECT_TRUE(combo->isEditable());
    EXPECT_EQ(combo->completer(), nullptr);
    EXPECT_EQ(combo->insertPolicy(), QComboBox::NoInsert);
    combo->SetExactMatch(false);
    Type("zz");
    Key(Qt::Key_Return);
    EXPECT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->currentText(), "zz");
    // Back to editable after the list-only style: Qt's completer stays away.
    combo->setEditable(false);
    combo->setEditable(true);
    other->setFocus(Qt::TabFocusReason);
    combo->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(combo->completer(), nullptr);
}

TEST_F(ACCombo, FirstMatchingItemCompletesWithItsTailSelected) {
    Type("a");
    EXPECT_EQ(Edit()->text(), "AB"); // the item's case
    EXPECT_EQ(Edit()->selectionStart(), 1);
    EXPECT_EQ(Edit()->selectedText(), "B");
    EXPECT_EQ(matches, 1);
    // The next keystroke overwrites the tail; the whole item typed selects the whole text.
    Type("b");
    EXPECT_EQ(Edit()->text(), "AB");
    EXPECT_EQ(Edit()->selectedText(), "AB");
    EXPECT_EQ(Edit()->selectionStart(), 0);
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(matches, 2);
    // ... so the next one starts over, here on no item at all: taken back to empty.
    Type("x");
    EXPECT_EQ(Edit()->text(), "");
    EXPECT_EQ(matches, 2);
}

TEST_F(ACCombo, KeysTypedIntoTheComboBoxItselfCompleteOnceEach) {
    // The operator's keys reach the combo box, which hands them to its field.
    QTest::keyClicks(combo, "a");
    EXPECT_EQ(Edit()->text(), "AB");
    EXPECT_EQ(Edit()->selectedText(), "B");
    QTest::keyClicks(combo, "b");
    EXPECT_EQ(Edit()->selectedText(), "AB");
    EXPECT_EQ(matches, 2);
}

TEST_F(ACCombo, WithoutSelectOnFoundAWholeItemLeavesTheCaretAtTheEnd) {
    combo->SetSelectOnFound(false);
    Type("ab");
    EXPECT_EQ(Edit()->text(), "AB");
    EXPECT_EQ(Edit()->selectedText(), "");
    EXPECT_EQ(Edit()->cursorPosition(), 2);
    Type("c");
    EXPECT_EQ(Edit()->text(), "ABC");
    EXPECT_EQ(combo->currentIndex(), 1);
    EXPECT_EQ(Edit()->cursorPosition(), 3);
    EXPECT_EQ(matches, 3);
}

TEST_F(ACCombo, MatchingIgnoresCaseBeyondAsciiButTheWholeTextOnlyByAsciiCase) {
    combo->clear();
    combo->addItems({"ŠKODA", "KOVAČ"});
    combo->setCurrentIndex(-1);
    QTest::sendKeyEvent(QTest::Click, Edit(), Qt::Key_unknown, QString("š"), Qt::NoModifier);
    EXPECT_EQ(Edit()->text(), "ŠKODA");
    EXPECT_EQ(Edit()->selectedText(), "KODA");
    Start("");
    Type("kova");
    EXPECT_EQ(Edit()->selectedText(), "Č");
    // "KOVAč" and "KOVAČ" differ in ASCII upper case, so the whole text is not selected.
    QTest::sendKeyEvent(QTest::Click, Edit(), Qt::Key_unknown, QString("č"), Qt::NoModifier);
    EXPECT_EQ(Edit()->text(), "KOVAČ");
    EXPECT_EQ(Edit()->selectedText(), "");
    EXPECT_EQ(Edit()->cursorPosition(), 5);
}

TEST_F(ACCombo, ExactMatchTakesBackTheKeystrokeThatMatchesNothing) {
    Type("a");
    Type("x"); // overwrites the selected B
    EXPECT_EQ(Edit()->text(), "A");
    EXPECT_EQ(Edit()->cursorPosition(), 1);
    EXPECT_FALSE(Edit()->hasSelectedText());
    Start("");
    Type("q");
    EXPECT_EQ(Edit()->text(), "");

    combo->SetExactMatch(false);
    Type("a");
    Type("x");
    EXPECT_EQ(Edit()->text(), "Ax");
    EXPECT_EQ(matches, 2);
}

TEST_F(ACCombo, EditingKeysAndCtrlOrAltNeverComplete) {
    combo->addItem("A B");
    Type("a");
    Key(Qt::Key_Backspace); // removes the completed tail; completing again would bring it back
    EXPECT_EQ(Edit()->text(), "A");
    Key(Qt::Key_Delete);
    EXPECT_EQ(Edit()->text(), "A");
    Key(Qt::Key_Space); // no take-back either, though nothing starts with "A  "
    Key(Qt::Key_Space);
    EXPECT_EQ(Edit()->text(), "A  ");
    for (Qt::Key key : {Qt::Key_Home, Qt::Key_End, Qt::Key_Insert, Qt::Key_Escape, Qt::Key_Shift})
        Key(key);
    EXPECT_EQ(Edit()->text(), "A  ");
    const int before = matches;

    Start("a");
    Key(Qt::Key_A, Qt::ControlModifier); // selects all, nothing completes
    EXPECT_EQ(Edit()->text(), "a");
    Start("a");
    Key(Qt::Key_B, Qt::AltModifier);
    EXPECT_EQ(Edit()->text(), "ab"); // the field takes the letter; AB would be the completion
    Start("a");
    Key(Qt::Key_Q, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Edit()->text(), "a");
    EXPECT_EQ(matches, before);

    // Shift may be held; punctuation keys complete although Qt gives them codes below 47.
    Start("");
    QTest::keyClick(Edit(), 'A', Qt::ShiftModifier);
    EXPECT_EQ(Edit()->text(), "AB");
    combo->addItem("-5");
    Start("");
    Type("-");
    EXPECT_EQ(Edit()->text(), "-5");
    EXPECT_EQ(Edit()->selectedText(), "5");
}

TEST_F(ACCombo, ListOnlyStyleEmptyListOrCompletionOffKeepTheText) {
    combo->SetAutoComplete(false);
    Type("a");
    EXPECT_EQ(Edit()->text(), "a");
    combo->SetAutoComplete(true);

    combo->clear();
    Start("");
    Type("ab"); // nothing to match, and nothing is taken back either
    EXPECT_EQ(Edit()->text(), "ab");
    EXPECT_EQ(matches, 0);

    combo->addItems({"BX", "AB"});
    combo->setEditable(false);
    combo->setCurrentIndex(0);
    combo->KeyUp('A', Qt::NoModifier);
    EXPECT_EQ(combo->currentText(), "BX");
    EXPECT_EQ(matches, 0);
}

TEST_F(ACCombo, LeavingTheControlLeavesNoTailSelected) {
    Type("a");
    ASSERT_EQ(Edit()->selectedText(), "B");
    other->setFocus(Qt::TabFocusReason);
    EXPECT_FALSE(Edit()->hasSelectedText());
    EXPECT_EQ(Edit()->cursorPosition(), 0);
    EXPECT_EQ(Edit()->text(), "AB");
}

TEST(ACComboKeys, VirtualKeyCodes) {
    EXPECT_EQ(VirtualKeyCode(Qt::Key_Backspace), 8);
    EXPECT_EQ(VirtualKeyCode(Qt::Key_Enter), 13);
    EXPECT_EQ(VirtualKeyCode(Qt::Key_Down), 40);
    EXPECT_EQ(VirtualKeyCode(Qt::Key_Delete), 46);
    EXPECT_EQ(VirtualKeyCode(Qt::Key_0), 48);
    EXPECT_EQ(VirtualKeyCode(Qt::Key_Z), 90);
    for (int key : {int(Qt::Key_Minus), int(Qt::Key_Period), int(Qt::Key_NumberSign), int(Qt::Key_F1)})
        EXPECT_GE(VirtualKeyCode(key), 47) << key;
}

} // namespace
