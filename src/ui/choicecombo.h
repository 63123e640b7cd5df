// A drop-down list the user can also type into. Typed text that equals an entry (ignoring case) chooses that
// entry; any other text leaves the list without a choice, which a Send then reports instead of guessing.
#pragma once

#include "vocabulary/vocabulary.h"

#include <QComboBox>
#include <QElapsedTimer>

namespace ui {

class ChoiceCombo : public QComboBox {
    Q_OBJECT
public:
    explicit ChoiceCombo(QWidget *parent = nullptr);

    // The open list is at least as wide as its widest entry, whatever the box's own width, so every entry
    // shows in full; the closed box keeps its size and names the chosen entry in full in its tooltip.
    void showPopup() override;
    int widestEntryWidth() const;

protected:
    void focusInEvent(QFocusEvent *event) override;

private:
    void onTextEdited(const QString &text);

    bool m_typing = false;
};

// A drop-down list that is not typed into: typed keys choose the entry they spell out whole first ("1" is
// field 1, then "10" with the next key), and otherwise search as any list does.
class SearchCombo : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QString m_typed;
    QElapsedTimer m_lastKey;
};

// Fills a list with its entries and chooses the first; the choice is made only once every entry is in, so
// a handler of the choice sees the whole list.
void fillList(QComboBox *combo, vocabulary::List list);

} // namespace ui
