#pragma once

#include <QListWidget>
#include <QStringList>

// A list box that keeps its lines in alphabetical order without regard to letter case; a line added
// later takes its sorted place. Equal lines keep the order they were added in.
class TSortedListBox : public QListWidget {
    Q_OBJECT
public:
    explicit TSortedListBox(QWidget* parent = nullptr);

    void AddLine(const QString& line);
    void SetLines(const QStringList& lines);
    QStringList Lines() const;
    // The selected line, empty when none is selected.
    QString SelectedLine() const;
    // The row of the selected line, -1 when none is selected.
    int SelectedRow() const;
    // Selects the first line equal to text (exact comparison); returns whether one was found.
    bool SelectLine(const QString& text);
};
