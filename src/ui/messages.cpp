#include "ui/messages.h"

#include "app/texts.h"
#include "ui/keyboard.h"
#include "ui/layout.h"

#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>

namespace ui {
namespace {

// The standard message box, except that it never wraps a line: the help texts are laid out line by line with
// leading blanks, and a wrapped line would break their wiring tables apart.
class TextBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent *event) override
    {
        // The box wraps a text wider than half the screen or 500 pixels; as wide as its longest line, its
        // label has nothing left to wrap.
        if (auto *label = findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))) {
            label->setWordWrap(false);
            label->setMinimumWidth(label->sizeHint().width());
        }
        QMessageBox::showEvent(event);
    }
};

} // namespace

void showText(QWidget *parent, const QString &title, const QString &text, bool warning)
{
    TextBox box(warning ? QMessageBox::Warning : QMessageBox::NoIcon, title, displayText(text),
                QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    takeFocusWhenShown(&box);
    box.exec();
}

bool askToSendAnyway(QWidget *parent, const QStringList &warnings)
{
    if (warnings.isEmpty())
        return true;
    QMessageBox box(QMessageBox::Warning, app::FieldWarningTitle, app::fieldWarningText(warnings),
                    QMessageBox::Ok | QMessageBox::Cancel, parent);
    box.setObjectName(QStringLiteral("fieldWarning"));
    box.setDefaultButton(QMessageBox::Ok);
    takeFocusWhenShown(&box);
    return box.exec() == QMessageBox::Ok;
}

std::optional<QString> askComPortNumber(QWidget *parent, const QString &prompt)
{
    QInputDialog box(parent);
    box.setObjectName(QStringLiteral("communicationsError"));
    box.setWindowTitle(QStringLiteral("Communications Error"));
    box.setInputMode(QInputDialog::TextInput);
    box.setLabelText(displayText(prompt));
    box.setTextValue(QStringLiteral("0"));
    box.setWindowModality(Qt::ApplicationModal);
    takeFocusWhenShown(&box);
    if (box.exec() != QDialog::Accepted)
        return std::nullopt;
    return box.textValue();
}

} // namespace ui
