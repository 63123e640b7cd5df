#include "ui/choicecombo.h"

#include <QLineEdit>

namespace ui {

ChoiceCombo::ChoiceCombo(QWidget *parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    // Inline completion would put text the user did not type into the box.
    setCompleter(nullptr);
    setMaxVisibleItems(20);
    connect(lineEdit(), &QLineEdit::textEdited, this, &ChoiceCombo::onTextEdited);
    // A chosen entry longer than the box shows its beginning, where the entries differ.
    // The whole entry stays readable as a tooltip where the box is narrower than it.
    connect(this, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_typing)
            lineEdit()->setCursorPosition(0);
        setToolTip(currentText());
    });
}

void ChoiceCombo::onTextEdited(const QString &text)
{
    const int match = findText(text, Qt::MatchFixedString); // case-insensitive, whole text
    if (match == currentIndex())
        return;
    const int cursor = lineEdit()->cursorPosition();
    m_typing = true;
    setCurrentIndex(match);
    m_typing = false;
    // Choosing no entry clears the box; keep what the user typed.
    if (match < 0) {
        lineEdit()->setText(text);
        lineEdit()->setCursorPosition(cursor);
    }
}

} // namespace ui
