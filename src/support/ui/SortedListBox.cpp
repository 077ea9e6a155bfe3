#include "support/ui/SortedListBox.h"

#include "support/ListOrder.h"

namespace {

class TSortedItem : public QListWidgetItem {
public:
    TSortedItem(const QString& text, quint64 serial) : QListWidgetItem(text), serial_(serial) {}
    bool operator<(const QListWidgetItem& other) const override {
        if (ListOrderLess(text(), other.text()))
            return true;
        if (ListOrderLess(other.text(), text()))
            return false;
        const auto* sorted = dynamic_cast<const TSortedItem*>(&other);
        return sorted && serial_ < sorted->serial_;
    }

private:
    quint64 serial_;
};

quint64 NextSerial() {
    static quint64 serial = 0;
    return ++serial;
}

} // namespace

TSortedListBox::TSortedListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSortingEnabled(true);
}

void TSortedListBox::AddLine(const QString& line) {
    addItem(new TSortedItem(line, NextSerial()));
}

void TSortedListBox::SetLines(const QStringList& lines) {
    clear();
    for (const QString& line : lines)
        AddLine(line);
}

QStringList TSortedListBox::Lines() const {
    QStringList lines;
    lines.reserve(count());
    for (int i = 0; i < count(); ++i)
        lines << item(i)->text();
    return lines;
}

QString TSortedListBox::SelectedLine() const {
    const QList<QListWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

int TSortedListBox::SelectedRow() const {
    const QList<QListWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? -1 : row(selected.first());
}

bool TSortedListBox::SelectLine(const QString& text) {
    for (int i = 0; i < count(); ++i) {
        if (item(i)->text() == text) {
            setCurrentRow(i);
            item(i)->setSelected(true);
            return true;
        }
    }
    return false;
}
