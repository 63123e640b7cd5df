// A drop-down list the user can also type into. Typed text that equals an entry (ignoring case) chooses that
// entry; any other text leaves the list without a choice, which a Send then reports instead of guessing.
#pragma once

#include <QComboBox>

namespace ui {

class ChoiceCombo : public QComboBox {
    Q_OBJECT
public:
    explicit ChoiceCombo(QWidget *parent = nullptr);

private:
    void onTextEdited(const QString &text);

    bool m_typing = false;
};

} // namespace ui
