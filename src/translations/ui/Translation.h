#pragma once

#include <QDialog>
#include <QRect>
#include <QString>
#include <functional>

#include "query/LangQuery.h"
#include "translations/TranslationFile.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class TACComboBox;

// The translation editor: creates a translation or changes one, writing its definition file and its
// record in the definitions index. Created anew for each use:
//     auto* editor = new TFTranslation();
//     bool saved = editor->EditTranslation(name);
// EditTranslation shows the window modally and releases it once it has read its controls.
class TFTranslation : public QDialog {
    Q_OBJECT
public:
    // frame: the window the editor opens centred over (an invalid frame, or none: the screen).
    explicit TFTranslation(std::function<QRect()> frame = {}, QWidget* parent = nullptr);
    ~TFTranslation() override;

    // name empty: a new translation; otherwise the one listed under name in the index. On Save the
    // definition is written and name becomes the name saved; Cancel or closing returns false and
    // leaves name and every file as they were. A failed write raises after the window was released;
    // what was written before it stays.
    bool EditTranslation(QString& name);

    // The steps around the modal run, apart so tests can drive them.
    void LoadTranslation(const QString& name);
    // Writes the definition when Saved, replacing name; returns Saved.
    bool SaveTranslation(QString& name);

    // Fills combo with the distinct values of field in table, read from the source connection when side
    // is "SOURCE", otherwise from the destination. A failing statement raises and leaves the combo's
    // items as they were.
    void LoadDistinctValues(const QString& side, const QString& table, TACComboBox* combo,
                            const QString& field);

    // The controls' contents as a definition, and the reverse.
    TTranslationDef Definition() const;
    void ShowDefinition(const TTranslationDef& def);

    void CStaticClick();
    void ESFIeldnameExit();
    void ETFieldNameExit();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void TransListDblClick();

    bool Saved = false;

    QLineEdit* ETranslationName = nullptr;
    QRadioButton* CStatic = nullptr;
    QRadioButton* CReference = nullptr;
    QLineEdit* ESTable = nullptr;
    QLineEdit* ESFIeldname = nullptr;
    QLabel* LSValues = nullptr;
    TACComboBox* SValues = nullptr;
    QLineEdit* ETTable = nullptr;
    QLineEdit* ETFieldName = nullptr;
    QLabel* LTValues = nullptr;
    TACComboBox* TValues = nullptr;
    QLabel* LSql = nullptr;
    QLineEdit* TSql = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QListWidget* TransList = nullptr;
    QLineEdit* EDefault = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* Button4 = nullptr;
    TLangQuery Q;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    std::function<QRect()> frame_;
    // Selects the type radio buttons as the letters say; neither for any other letter.
    void SelectType(const QString& type);
    void ApplyTypeLayout();
};
