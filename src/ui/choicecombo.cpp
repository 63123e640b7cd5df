#include "ui/choicecombo.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QStyle>

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

int ChoiceCombo::widestEntryWidth() const
{
    const QFontMetrics metrics(view()->font());
    int widest = 0;
    for (int i = 0; i < count(); ++i)
        widest = qMax(widest, metrics.horizontalAdvance(itemText(i)));
    return widest;
}

void ChoiceCombo::showPopup()
{
    // An entry cut short would lose letters in its middle, where two long instrument names differ.
    view()->setTextElideMode(Qt::ElideNone);
    const int margins = 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) +
                        2 * style()->pixelMetric(QStyle::PM_MenuHMargin, nullptr, this) +
                        2 * view()->frameWidth() + view()->fontMetrics().averageCharWidth() * 2;
    const int scrollBar =
        count() > maxVisibleItems() ? style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this) : 0;
    view()->setMinimumWidth(widestEntryWidth() + margins + scrollBar);
    QComboBox::showPopup();
}

void ChoiceCombo::focusInEvent(QFocusEvent *event)
{
    QComboBox::focusInEvent(event);
    // Tab selects the whole text, which leaves the cursor at its end and scrolls a long name's beginning,
    // where the entries differ, out of the box: keep it selected, with the cursor at the start.
    QLineEdit *edit = lineEdit();
    const int length = int(edit->text().size());
    if (length > 0 && edit->selectedText() == edit->text())
        edit->setSelection(length, -length);
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

void SearchCombo::keyPressEvent(QKeyEvent *event)
{
    const QString text = event->text();
    if (text.isEmpty() || !text.at(0).isPrint() ||
        event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) {
        QComboBox::keyPressEvent(event);
        return;
    }
    const bool goingOn = m_lastKey.isValid() && m_lastKey.elapsed() < QApplication::keyboardInputInterval();
    m_lastKey.start();
    m_typed = goingOn ? m_typed + text : text;
    const int whole = findText(m_typed, Qt::MatchFixedString);
    if (whole >= 0) {
        setCurrentIndex(whole);
        event->accept();
        return;
    }
    QComboBox::keyPressEvent(event);
}

void fillList(QComboBox *combo, vocabulary::List list)
{
    {
        const QSignalBlocker blocker(combo);
        combo->clear();
        combo->addItems(vocabulary::entries(list));
        combo->setCurrentIndex(-1);
    }
    combo->setCurrentIndex(0);
}

} // namespace ui
